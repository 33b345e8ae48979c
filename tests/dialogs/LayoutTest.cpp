#include "DialogTestSupport.h"

#include "dialogs/DatabaseChooser.h"
#include "dialogs/frmCompare.h"
#include "dialogs/frmCreateTestDataSet.h"
#include "dialogs/frmHexView.h"
#include "dialogs/frmPropAppli.h"
#include "dialogs/frmPropEcu.h"
#include "dialogs/frmText.h"
#include "flash/EcuApplication.h"
#include "support/RecordingInteraction.h"
#include "text/Documents.h"
#include "text/TextCatalog.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

#include <memory>

using namespace zep;
using namespace zep::test;

namespace {

ZEPEcu sampleEcu() {
    ZEPEcu ecu;
    ecu.Nom = "ECU_SAMPLE";
    ecu.IdentificationType = 32768;
    ecu.SupplierHex = "5A4550";
    ecu.FillPattern = MemBlock::fromHex("FFFF");
    ecu.WriteGranularity = 128;
    ecu.InterByteDelay = 2;
    ecu.ReplyToRequestDelay = 25;
    ecu.Commentaire = "Engine controller";
    ecu.addMapping(0x0000, 0x8000, false);
    ecu.addMapping(0x8000, 0x2000, true);
    ecu.addExclusion(0x8100, 0x100, true);
    ecu.addMapping(0x10000, 0x10000, false);
    return ecu;
}

/** the texts of a control are shown whole, and the control lies inside the window */
void checkControls(QWidget& window) {
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->objectName().startsWith("qt_"))
            continue;
        const QRect place(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        QVERIFY2(window.rect().contains(place),
                 qPrintable(widget->objectName() + " lies outside the window"));
        const auto* label = qobject_cast<QLabel*>(widget);
        const bool wraps = label != nullptr && label->wordWrap();
        if ((label != nullptr && !wraps) || qobject_cast<QAbstractButton*>(widget) != nullptr)
            QVERIFY2(widget->width() >= widget->minimumSizeHint().width(),
                     qPrintable(widget->objectName() + " is cut: " + widget->property("text").toString()));
    }
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void dialogs_data();
    void dialogs();
    void cleanupTestCase();
};

void LayoutTest::dialogs_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("dialog");
    for (const char* language : {"en", "fr"})
        for (const char* dialog :
             {"frmPropEcu", "frmPropEcu-Mapping", "frmPropAppli", "frmCreateTestDataSet",
              "DatabaseChooser-file", "DatabaseChooser-server", "frmText", "frmHexView", "frmCompare"})
            QTest::newRow(qPrintable(QString("%1 %2").arg(dialog, language)))
                << QString(language) << QString(dialog);
}

void LayoutTest::dialogs() {
    QFETCH(QString, language);
    QFETCH(QString, dialog);

    loadDocuments(ZEP_SHARE_DIR, language.toStdString());
    QCOMPARE(QString::fromStdString(TextCatalog::instance().language()), language);
    ZEPEcu ecu = sampleEcu();
    EcuApplication app;
    app.Ecu() = sampleEcu();
    app.value().add(0x0000, std::vector<std::uint8_t>(0x6000, 0x11));
    app.value().add(0x20000, std::vector<std::uint8_t>(0x100, 0x22));
    QString comment = "Release candidate";
    RecordingInteraction ui;
    DataSet::Target target;
    target.ecu = sampleEcu();

    std::unique_ptr<QDialog> window;
    if (dialog.startsWith("frmPropEcu")) {
        window = std::make_unique<frmPropEcu>(ecu);
        if (dialog.endsWith("Mapping"))
            child<QTabWidget>(*window, "tsMapping").setCurrentIndex(2);
    } else if (dialog == "frmPropAppli") {
        window = std::make_unique<frmPropAppli>("APP_SAMPLE", comment, app, ui);
    } else if (dialog == "frmCreateTestDataSet") {
        window = std::make_unique<frmCreateTestDataSet>(target, ui);
    } else if (dialog == "DatabaseChooser-file") {
        window = std::make_unique<DatabaseChooser>("/home/user/flash/central copy.zdb");
    } else if (dialog == "DatabaseChooser-server") {
        window = std::make_unique<DatabaseChooser>(
            "Provider=PostgreSQL;Host=db.example;Database=zep;User ID=ann;Password=secret");
    } else if (dialog == "frmHexView") {
        window = std::make_unique<frmHexView>("APP_SAMPLE", app.value());
    } else if (dialog == "frmCompare") {
        auto other = std::make_shared<EcuApplication>(app);
        other->value().add(0x0100, std::vector<std::uint8_t>{0x12, 0x13, 0x14});
        other->value().add(0x20080, std::vector<std::uint8_t>(0x20, 0x23));
        CompareResult result =
            Compare::CompareImages(app, "APP_SAMPLE", *other, "APP_OTHER",
                                   zep::tr("frmDatabase/Messages/compare/soft/text", "Soft compare"));
        result.first = std::make_shared<EcuApplication>(app);
        result.second = other;
        result.firstName = "APP_SAMPLE";
        result.secondName = "APP_OTHER";
        window = std::make_unique<frmCompare>(result, Compare::Details(app, *other), ui);
    } else {
        auto text = std::make_unique<frmText>();
        text->setWindowTitle("Report");
        text->setText("ECU_SAMPLE\n  Supplier\tZEP\n  Mappings\t3\n");
        window = std::move(text);
    }
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    checkControls(*window);
    if (dialog == "frmPropAppli") {
        // the smallest size still shows every control whole
        window->resize(1, 1);
        QCOMPARE(window->size(), QSize(frmPropAppli::MinimumWidth, frmPropAppli::MinimumHeight));
        QTest::qWait(1);
        checkControls(*window);
    }
    // ZEP_DIALOGS_GRAB=FOLDER keeps pictures of the dialogs to look at
    const QString folder = qEnvironmentVariable("ZEP_DIALOGS_GRAB");
    if (!folder.isEmpty())
        QVERIFY(
            window->grab().save(QDir(folder).filePath(QString("dialogs-%1-%2.png").arg(dialog, language))));
}

void LayoutTest::cleanupTestCase() {
    loadDocuments(ZEP_SHARE_DIR, "en");
}

int runLayoutTest(int argc, char** argv) {
    LayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "LayoutTest.moc"
