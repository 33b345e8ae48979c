#include "text/Documents.h"

#include <QApplication>
#include <QTest>

int runPropertyDialogsTest(int argc, char** argv);
int runDataSetDialogTest(int argc, char** argv);
int runDatabaseChooserTest(int argc, char** argv);
int runTextViewerTest(int argc, char** argv);
int runLayoutTest(int argc, char** argv);
int runHexViewTest(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The dialogs read their identification types and texts from the language file.
    zep::loadDocuments(ZEP_SHARE_DIR, "en");
    int failures = 0;
    for (auto run : {runPropertyDialogsTest, runDataSetDialogTest, runDatabaseChooserTest, runTextViewerTest,
                     runLayoutTest, runHexViewTest})
        failures += run(argc, argv);
    return failures == 0 ? 0 : 1;
}
