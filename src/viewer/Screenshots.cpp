// Pictures of the viewer for the eye: the main window at each level and in each view, in English and
// French, and the dialogs. Used by scripts/screenshots.
#include "commands/Compare.h"
#include "commands/EcuCreation.h"
#include "commands/MapRows.h"
#include "database/ImageStore.h"
#include "dialogs/frmCompare.h"
#include "dialogs/frmHexView.h"
#include "dialogs/frmPropEcu.h"
#include "dialogs/frmText.h"
#include "maps/MemoryMapPicture.h"
#include "shell/FindBar.h"
#include "shell/ItemCommands.h"
#include "shell/ZEPDatabaseView.h"
#include "shell/frmDatabase.h"
#include "text/Documents.h"
#include "text/TextCatalog.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"
#include "views/QtText.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <iostream>

using namespace zep;

namespace {

QString outFolder;

void shoot(QWidget& widget, const QString& name) {
    QApplication::processEvents();
    const QString path = outFolder + "/" + name + ".png";
    if (!widget.grab().save(path))
        std::cerr << "cannot write " << path.toStdString() << "\n";
    else
        std::cout << path.toStdString() << "\n";
}

/** the first node below parent in the tree (the demo's first function, ECU, application) */
std::string firstChild(frmDatabase& w, const std::string& parent) {
    const TreeNode* node = w.treeSource().find(parent);
    if (!node)
        return {};
    for (std::size_t i = 0; i < node->childCount(); ++i) {
        if (node->child(i).childCount() > 0 || parent != "r")
            return node->child(i).key();
    }
    return node->childCount() ? node->child(0).key() : std::string();
}

/**
 * a click on a tree node as a user makes it: the window is active and the tree takes the focus, so
 * that the commands' states are the same whatever was shown before
 */
void click(frmDatabase& w, const std::string& key) {
    QApplication::setActiveWindow(&w);
    w.tree().setFocus();
    w.clickNode(key);
    w.updateEnabledState();
}

void windowShots(frmDatabase& w, const QString& language) {
    w.resize(1100, 640);
    w.findChild<QSplitter*>("splitter")->setSizes({280, 820});
    w.buttonCommand("LargeIcons");
    click(w, "r");
    shoot(w, language + "-1-root-icons");
    w.buttonCommand("Details");
    shoot(w, language + "-1-root-details");
    const std::string function = firstChild(w, "r");
    click(w, function);
    shoot(w, language + "-2-function-details");
    const std::string ecu = firstChild(w, function);
    click(w, ecu);
    shoot(w, language + "-3-ecu-details");
    const std::string app = firstChild(w, ecu);
    click(w, app);
    shoot(w, language + "-4-application-details");
    w.buttonCommand("LargeIcons");
    shoot(w, language + "-4-application-icons");
    click(w, ecu);
    w.setBackground(2);
    shoot(w, language + "-3-ecu-icons-background");
    w.setBackground(0);
    // A comparison of the ECU's first two applications, as a drop of one on the other shows it.
    const TreeNode* ecuNode = w.treeSource().find(ecu);
    if (ecuNode && ecuNode->childCount() >= 2) {
        const TreeNode& first = ecuNode->child(0);
        const TreeNode& second = ecuNode->child(1);
        const auto result = Compare::CompareItems(*w.connection(), first.key(), first.text(), *w.connection(),
                                                  second.key(), second.text());
        if (result && result->first && result->second) {
            frmCompare compared(*result, Compare::Details(*result->first, *result->second), w.interaction(),
                                &w);
            compared.show();
            shoot(compared, language + "-compare");
        }
    }
    // The bytes of the first application, as "View bytes" shows them.
    w.commands().viewBytes(app, "", false);
    if (auto* bytes = w.findChild<frmHexView*>()) {
        bytes->setWindowTitle(qs(w.treeSource().find(app) ? w.treeSource().find(app)->text() : app));
        shoot(*bytes, language + "-hexview");
        bytes->close();
        QApplication::processEvents();
    }
    // where it lies against its ECU's maps, as zep db map draws it
    const EcuApplication image = ImageStore::Download(*w.connection(), app, false);
    const QString map = outFolder + "/" + language + "-map.png";
    MemoryMapPicture(image.Ecu(), image.value(), false,
                     QSizeF(MemoryMapPicture::DefaultWidth, MemoryMapPicture::DefaultHeight))
        .save(ss(map));
    std::cout << ss(map) << "\n";
    // The find bar with the items whose names or codes hold "sw", and a new ECU with its memory map.
    w.buttonCommand("Details");
    w.buttonCommand("Find");
    w.findBar().queryBox().setText("sw");
    w.findBar().search();
    shoot(w, language + "-5-find");
    w.findBar().hide();
    ZEPEcu newEcu = EcuCreation::defaults(*w.connection(), 0x10);
    MapRows::apply({{MapRows::MapEntry::Kind::Global, 0x8000, 0xBFFF},
                    {MapRows::MapEntry::Kind::Tuning, 0xC000, 0xFFFF},
                    {MapRows::MapEntry::Kind::Exclusion, 0xC000, 0xC0FF}},
                   newEcu);
    frmPropEcu created(newEcu, &w, frmPropEcu::Mode::New);
    created.findChild<QTabWidget*>("tsMapping")->setCurrentIndex(2);
    created.show();
    shoot(created, language + "-new-ecu");
    created.addRange(); // a range that overlaps nothing, then one that does
    created.findChild<QTableWidget*>("gridMapEdit")->item(3, 1)->setText("BF00");
    shoot(created, language + "-new-ecu-refused");
    created.reject();
    frmText info(&w);
    info.setWindowTitle("Information");
    info.setText(w.informationReport());
    info.resize(640, 360);
    info.show();
    shoot(info, language + "-info");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::cerr << "usage: zep-screenshots OUTDIR DATABASE\n";
        return 2;
    }
    outFolder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outFolder);
    ZEPDatabaseView view;
    view.InitUserControl(defaultBaseLocation(), "en");
    view.setConnectionString(argv[2]);
    frmDatabase& w = *view.window();
    windowShots(w, "en");
    w.switchLanguage("fr");
    windowShots(w, "fr");
    return 0;
}
