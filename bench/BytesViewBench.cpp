// Times the hex view, the visual compare and the memory-map picture on 16 MiB images: opening each
// window until it is painted, painting a page anywhere in the image, going to an address, finding
// bytes at the far end, and counting every difference of two images.

#include "BenchTiming.h"
#include "commands/Compare.h"
#include "dialogs/frmCompare.h"
#include "dialogs/frmHexView.h"
#include "maps/MemoryMapPicture.h"
#include "text/Documents.h"
#include "text/Interaction.h"
#include "views/HexView.h"

#include <QApplication>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

using namespace zep;
using namespace zep::bench;

constexpr double openTarget = 0.3, pageTarget = 0.016, findTarget = 0.1, differencesTarget = 0.3;
constexpr std::uint32_t Size = 16u << 20;

/** 16 MiB at 0x100000 as the S-record reader leaves it: 524,288 blocks of 32 bytes; or in 4 KiB pieces 4 KiB
 * apart */
MemImage image(bool sparse, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(Size);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    MemImage out;
    const std::uint32_t block = sparse ? 4096 : 32;
    for (std::uint32_t offset = 0; offset < Size; offset += block)
        out.add(0x100000 + (sparse ? 2 * offset : offset), std::span(bytes).subspan(offset, block));
    return out;
}

struct Figures {
    Time best;
    void keep(Time t) {
        best.wall = std::min(best.wall, t.wall);
        best.cpu = std::min(best.cpu, t.cpu);
    }
};

bool report(const char* what, const Figures& f, double target) {
    const bool met = f.best.wall <= target;
    std::printf("%-52s %8.4f s wall %8.4f s cpu  target %.3f s  %s\n", what, f.best.wall, f.best.cpu, target,
                met ? "PASS" : "FAIL");
    return met;
}

/** nothing is asked while the windows are timed */
class Silent : public Interaction {
public:
    void inform(const std::string&) override {}
    void warn(const std::string&) override {}
    void critical(const std::string&) override {}
    Answer ask(const std::string&, Buttons, Answer defaultAnswer) override { return defaultAnswer; }
};

void paintNow(QWidget& w) {
    w.repaint();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr,
                         "usage: zep-bench-bytes [--runs N]\n"
                         "  Times the hex view, the visual compare and the memory-map picture on 16 MiB.\n");
            return 2;
        }
    }
    loadDocuments(ZEP_SHARE_DIR, "en");
    bool met = true;
    for (const bool sparse : {false, true}) {
        const MemImage bytes = image(sparse, 1);
        std::printf("%s\n", sparse ? "16 MiB in 4,096 ranges of 4 KiB, 4 KiB apart"
                                   : "16 MiB in 524,288 adjacent blocks of 32 bytes");
        Figures open, page, go, find;
        std::vector<std::uint8_t> last(bytes[bytes.count() - 1].bytes.end() - 8,
                                       bytes[bytes.count() - 1].bytes.end());
        for (int r = 0; r < runs; ++r) {
            std::unique_ptr<frmHexView> view;
            open.keep(timed([&] {
                view = std::make_unique<frmHexView>("bench", bytes);
                view->show();
                paintNow(view->view());
            }));
            HexView& hex = view->view();
            page.keep(timed([&] {
                for (int k = 1; k <= 10; ++k) {
                    hex.verticalScrollBar()->setValue(hex.verticalScrollBar()->maximum() / 10 * k);
                    paintNow(hex);
                }
            }));
            go.keep(timed([&] {
                hex.goTo(0x100000 + Size / 3);
                paintNow(hex);
            }));
            find.keep(timed([&] {
                hex.goTo(0x100000);
                if (!HexBytes::find(bytes, last, hex.cursor() + 1))
                    std::fprintf(stderr, "pattern not found\n");
            }));
        }
        page.best.wall /= 10;
        page.best.cpu /= 10;
        met &= report("  open the hex view until painted", open, openTarget);
        met &= report("  paint a page (mean of 10 across the image)", page, pageTarget);
        met &= report("  go to an address and paint", go, pageTarget * 2);
        met &= report("  find 8 bytes at the far end", find, findTarget);
    }
    // two images that differ once every 4 KiB
    auto first = std::make_shared<EcuApplication>();
    auto second = std::make_shared<EcuApplication>();
    first->value() = image(false, 1);
    second->value() = image(false, 1);
    for (std::uint32_t a = 0; a < Size; a += 4096)
        second->value().add(0x100000 + a, std::vector<std::uint8_t>{static_cast<std::uint8_t>(
                                              ~*HexBytes::at(first->value(), 0x100000 + a))});
    Figures details, openCompare, picture;
    Silent silent;
    ZEPEcu ecu;
    ecu.addMapping(0x100000, Size, false);
    ecu.addMapping(0x2000000, 0x10000, true);
    const MemImage sparse = image(true, 2);
    for (int r = 0; r < runs; ++r) {
        CompareDetail detail;
        details.keep(timed([&] { detail = Compare::Details(*first, *second); }));
        CompareResult result;
        result.first = first;
        result.second = second;
        openCompare.keep(timed([&] {
            frmCompare compare(result, detail, silent, nullptr);
            compare.show();
            paintNow(compare.view());
        }));
        picture.keep(timed([&] {
            const MemoryMapPicture map(ecu, sparse, false, QSizeF(900, MemoryMapPicture::DefaultHeight));
            map.toImage();
        }));
    }
    std::printf("two images of 16 MiB with 4,096 differences\n");
    met &= report("  count every difference", details, differencesTarget);
    met &= report("  open the visual compare until painted", openCompare, openTarget);
    std::printf("memory map\n");
    met &= report("  draw the picture of 4,096 ranges", picture, openTarget);
    return met ? 0 : 1;
}
