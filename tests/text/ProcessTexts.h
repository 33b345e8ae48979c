#pragma once

#include "text/Addressing.h"
#include "text/TextCatalog.h"

#include <gtest/gtest.h>

namespace zep::test {

/** The text catalog and the addressing document are process-wide: each test starts and ends with neither. */
class ProcessTexts : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    static void reset() {
        TextCatalog::instance().unload();
        TextCatalog::instance().setLanguage("en");
        Addressing::instance().unload();
    }
    static TextCatalog& texts() { return TextCatalog::instance(); }
};

} // namespace zep::test
