#include "ToolCommands.h"

#include "Session.h"
#include "commands/Compaction.h"
#include "database/ConnectionString.h"
#include "dialogs/frmText.h"
#include "flash/KwpText.h"
#include "frmDatabase.h"
#include "text/TextCatalog.h"
#include "views/QtText.h"
#include "views/WaitCursor.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QScreen>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <pwd.h>
#include <unistd.h>

namespace zep::ToolCommands {

namespace {

// Lengths on screen were once measured in twips: 15 to a pixel.
constexpr double TwipsPerPixel = 15.0;

QString shortNumber(double value) {
    return QString::number(float(value), 'g', 9);
}

QString userName() {
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("LOGNAME");
    if (name.isEmpty()) {
        // Services and containers often run without a login environment.
        if (const passwd* entry = getpwuid(getuid()))
            name = QString::fromLocal8Bit(entry->pw_name);
    }
    return name.left(100);
}

} // namespace

QString operatingSystemText() {
    QString pretty;
    QFile release("/etc/os-release");
    if (release.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : release.readAll().split('\n')) {
            if (line.startsWith("PRETTY_NAME="))
                pretty = QString::fromUtf8(line.mid(12)).remove('"');
        }
    }
    if (pretty.isEmpty())
        pretty = QSysInfo::prettyProductName();
    return "Linux " + QSysInfo::kernelVersion() + " - " + pretty;
}

QString informationReport(const frmDatabase& window, const QString& caption) {
    const Session& session = Session::instance();
    std::string userFile = userConfigurationPath(window.dataSource(), window.isCentral());
    if (!userFile.empty() && !QFileInfo::exists(qs(userFile)))
        userFile.clear();
    QString caption2 = caption;
    caption2.remove('&');
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    const QSize pixels = screen ? screen->size() : QSize();
    // The client area lies under the menu bar; the toolbar and the status bar are inside it.
    QSize client = window.size();
    if (const QWidget* menu = window.menuWidget(); menu && menu->isVisible())
        client.rheight() -= menu->height();
    QStringList lines;
    lines << caption2 << "------------------------"
          << "ZEP Viewer version     : " + qs(programVersion())
          << "Database file          : " + qs(window.dataSource())
          << "Main configuration file: " + qs(session.languageFile);
    if (!userFile.empty())
        lines << "User configuration file: " + qs(userFile);
    lines << "Language selected      : " + qs(TextCatalog::instance().language())
          << "------------------------"
          << "Computer name          : " + QSysInfo::machineHostName().left(255)
          << "User name              : " + userName() << "Operating system       : " + operatingSystemText()
          << "Screen (twips)         : " + shortNumber(pixels.width() * TwipsPerPixel) + "x" +
                 shortNumber(pixels.height() * TwipsPerPixel)
          << "Screen (pixels)        : " + shortNumber(pixels.width()) + "x" + shortNumber(pixels.height())
          << "Client size (pixels)   : " + shortNumber(client.width()) + "x" + shortNumber(client.height());
    return lines.join("\r\n") + "\r\n";
}

void showInformation(frmDatabase& window) {
    frmText viewer(&window);
    QString caption = window.findChild<QAction*>("mnuHelpInfo")
                          ? window.findChild<QAction*>("mnuHelpInfo")->text()
                          : QString("Information");
    viewer.setWindowTitle(caption.remove('&'));
    viewer.setText(window.informationReport());
    viewer.exec();
}

void showAbout(frmDatabase& window) {
    QMessageBox::about(&window, QString(),
                       applicationTitle() + " - v" + qs(programVersion()) + "\r\nCopyright " +
                           qtr("common/copyright/text", "(c) ZEPViewer developers"));
}

void startCalculator() {
    for (const char* program : {"gnome-calculator", "kcalc", "galculator", "qalculate-gtk", "xcalc"}) {
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty()) {
            QProcess::startDetached(found, {});
            return;
        }
    }
}

void compactDatabase(frmDatabase& window) {
    using Dialog = frmDatabase::FileDialog;
    const QString source =
        window
            .chooseFile(Dialog::Open,
                        qtr("frmDatabase/dialogs/openMdb/title/text", "Select database to compact"),
                        window.filter("saveMdb"))
            .path;
    if (source.isEmpty())
        return;
    // The command asks about an existing destination itself.
    const QString chosen =
        window
            .chooseFile(Dialog::SaveAsking,
                        qtr("frmDatabase/dialogs/saveMdb/title/text", "Enter a destination filename"),
                        window.filter("saveMdb"), {}, "zdb")
            .path;
    if (chosen.isEmpty())
        return;
    const auto destination = Compaction::PrepareDestination(ss(source), ss(chosen), window.interaction());
    if (!destination)
        return;
    // The window lets go of its database, so that the open file can be compacted too.
    const std::string kept = window.connectionName();
    window.closeConnection();
    WaitCursor busy;
    // The compaction opens its own connections: it runs beside the window, which stays painted.
    QFutureWatcher<Compaction::Outcome> work;
    QEventLoop wait;
    QObject::connect(&work, &QFutureWatcher<Compaction::Outcome>::finished, &wait, &QEventLoop::quit);
    QProgressDialog progress(qtr("frmDatabase/Messages/compactDB/progress/text", "Compacting the database"),
                             {}, 0, 0, &window);
    progress.setWindowTitle(applicationTitle());
    progress.setCancelButton(nullptr);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    work.setFuture(QtConcurrent::run(
        [source = ss(source), to = *destination] { return Compaction::CompactDatabase(source, to); }));
    if (!work.isFinished())
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    progress.reset();
    const Compaction::Outcome outcome = work.result();
    busy.restore();
    window.interaction().inform(outcome.message);
    try {
        window.setConnectionName(kept);
    } catch (const std::exception& e) {
        window.interaction().critical(e.what());
    }
}

void kwpToText(frmDatabase& window) {
    using Dialog = frmDatabase::FileDialog;
    const QString kwp =
        window
            .chooseFile(Dialog::Open,
                        qtr("frmDatabase/dialogs/openKwp/title/text", "Select KWP file to transform"),
                        window.filter("openKwp"))
            .path;
    if (kwp.isEmpty())
        return;
    const QString text = window.chooseFile(Dialog::Save, {}, window.filter("saveTxt"), {}, "txt").path;
    if (text.isEmpty())
        return;
    bool converted = false;
    {
        WaitCursor busy;
        converted = ConvertKwpToText(ss(kwp), ss(text), window.interaction());
    }
    if (converted)
        QDesktopServices::openUrl(QUrl::fromLocalFile(text));
}

} // namespace zep::ToolCommands
