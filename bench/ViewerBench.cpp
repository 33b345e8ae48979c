// Times the viewer on a database of 256 functions, 5,000 ECUs and 50,000 applications: opening a main
// window until its tree is painted, and listing an ECU of 1,000 applications until the list is painted,
// in the icons view and in the details view. On a local SQLite file, and on PostgreSQL when a server is
// named.

#include "BenchData.h"
#include "BenchTiming.h"
#include "database/Connection.h"
#include "shell/frmDatabase.h"
#include "text/Documents.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QSqlQuery>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace zep;
namespace fs = std::filesystem;

using namespace bench;
constexpr double openTarget = 1.0; // seconds
constexpr double listTarget = 0.3; // seconds

const char* const usage =
    "usage: zep-bench-viewer [--runs N] [--pg CONNECTION] [--grab FOLDER]\n"
    "  Fills a local SQLite database with 256 functions, 5,000 ECUs and 50,000 applications (one ECU\n"
    "  has 1,000 of them), then times N times (default 5) opening a main window on it until the tree\n"
    "  is painted, and listing that ECU until the list is painted, in the icons and the details view.\n"
    "  With --pg, or ZEP_TEST_PG set, the same on a new schema of that PostgreSQL database, dropped\n"
    "  afterwards. --grab saves pictures of the window of the last run into FOLDER, after the\n"
    "  timings. Runs offscreen on a 1920 x 1080 screen unless QT_QPA_PLATFORM says otherwise.\n"
    "  Exit status: 0 all targets met, 1 a target missed, 2 the benchmark could not run.\n";

/** the size the windows took, for the report */
QSize windowSize;

/** where pictures of the window go; empty for none */
QString grabFolder;

void grab(QWidget& window, const std::string& engine, const char* what) {
    if (grabFolder.isEmpty())
        return;
    const QString path = grabFolder + "/" + QString::fromStdString(engine) + "-" + what + ".png";
    if (!window.grab().save(path))
        std::fprintf(stderr, "zep-bench-viewer: cannot write %s\n", qPrintable(path));
}

using bench::Time;
using bench::timed;

/** the runs of one measurement, in the order they ran */
struct Runs {
    std::vector<Time> all;

    Time best() const {
        return *std::min_element(all.begin(), all.end(),
                                 [](const Time& a, const Time& b) { return a.wall < b.wall; });
    }
    /** the median by wall-clock time (the upper one of an even count) */
    Time median() const {
        std::vector<Time> sorted = all;
        std::sort(sorted.begin(), sorted.end(), [](const Time& a, const Time& b) { return a.wall < b.wall; });
        return sorted[sorted.size() / 2];
    }
};

/** the steps of opening a window, to tell where the time goes */
struct OpenSteps {
    Runs create;  // new frmDatabase and setConnectionName
    Runs load;    // the start-up sequence: texts, tree build, functions listed
    Runs show;    // show() and the events that follow, the first paint among them
    Runs repaint; // one more paint of the tree
    Runs total;
};

/** the steps of listing the ECU */
struct ListSteps {
    Runs click; // clickNode: the query, the model, sorting, column widths
    Runs paint; // the events that follow and a paint of the list
    Runs total;
};

struct Figures {
    std::string engine;
    Time fill;
    std::size_t nodes = 0;
    OpenSteps open;
    ListSteps icons;
    ListSteps details;
    int rows = 0;
};

/** paints the widget now, as the window system would when it is shown or uncovered */
void paint(QWidget& widget) {
    QApplication::processEvents();
    widget.repaint();
}

/** one window opened on the database and timed step by step; the window is returned for more work */
frmDatabase* openWindow(const std::string& connectionString, OpenSteps& steps) {
    frmDatabase* w = nullptr;
    bool loaded = false;
    Time create, load, show, repaint;
    const Time total = timed([&] {
        create = timed([&] {
            w = new frmDatabase;
            w->setConnectionName(connectionString);
        });
        load = timed([&] { loaded = w->load(); });
        show = timed([&] {
            w->show();
            QApplication::processEvents();
        });
        repaint = timed([&] { w->tree().viewport()->repaint(); });
    });
    if (!loaded) {
        delete w;
        throw ZepError(errors::File, "the window did not load the database");
    }
    steps.create.all.push_back(create);
    steps.load.all.push_back(load);
    steps.show.all.push_back(show);
    steps.repaint.all.push_back(repaint);
    steps.total.all.push_back(total);
    return w;
}

/** lists the ECU of ecuKey after its function, timing the ECU's listing only */
void listEcu(frmDatabase& w, const std::string& functionKey, const std::string& ecuKey, ListSteps& steps) {
    w.clickNode(functionKey);
    paint(*w.list().viewport());
    Time click, painted;
    const Time total = timed([&] {
        click = timed([&] { w.clickNode(ecuKey); });
        painted = timed([&] { paint(*w.list().viewport()); });
    });
    steps.click.all.push_back(click);
    steps.paint.all.push_back(painted);
    steps.total.all.push_back(total);
}

Figures measure(const std::string& engine, const std::string& connectionString, int runs) {
    Figures f;
    f.engine = engine;
    qint64 bigEcu = 0;
    {
        const auto db = Connection::open(connectionString);
        f.fill = timed([&] { bigEcu = fillBigTree(*db); });
    }
    const std::string ecuKey = "h" + std::to_string(bigEcu);

    for (int run = 0; run < runs; ++run) {
        frmDatabase* w = openWindow(connectionString, f.open);
        f.nodes = w->treeSource().size();
        windowSize = w->size();
        const TreeNode* ecu = w->treeSource().find(ecuKey);
        if (!ecu || !ecu->parent()) {
            delete w;
            throw ZepError(errors::File, "the tree lacks the ECU " + ecuKey);
        }
        const std::string functionKey = ecu->parent()->key();

        const bool last = run + 1 == runs;
        if (last)
            grab(*w, engine, "1-opened");
        w->buttonCommand("LargeIcons");
        listEcu(*w, functionKey, ecuKey, f.icons);
        if (last)
            grab(*w, engine, "2-ecu-icons");
        w->buttonCommand("Details");
        listEcu(*w, functionKey, ecuKey, f.details);
        if (last)
            grab(*w, engine, "3-ecu-details");
        f.rows = w->list().listModel().rowCount();
        delete w;
        QApplication::processEvents();
    }

    constexpr std::size_t expectedNodes = 1 + functions + ecus + applications;
    if (f.nodes != expectedNodes || f.rows != bigEcuApplications)
        throw ZepError(errors::File, "wrong tree or listing: " + std::to_string(f.nodes) + " nodes, " +
                                         std::to_string(f.rows) + " rows");
    return f;
}

Figures sqlite(int runs) {
    const fs::path folder = fs::temp_directory_path() / ("zep-bench-viewer-" + std::to_string(getpid()));
    fs::create_directories(folder);
    try {
        const std::string connectionString = ConnectionString::forFile((folder / "bench.zdb").string());
        Connection::create(connectionString, SchemaVersion::Current, ZEP_SHARE_DIR "/schema");
        Figures f = measure("SQLite", connectionString, runs);
        fs::remove_all(folder);
        return f;
    } catch (...) {
        fs::remove_all(folder);
        throw;
    }
}

Figures postgres(const std::string& server, int runs) {
    const bench::ServerSchema schema(server, "zep_bench_viewer_");
    Connection::create(schema.connectionString(), SchemaVersion::Current, ZEP_SHARE_DIR "/schema");
    return measure("PostgreSQL", schema.connectionString(), runs);
}

void printRow(const char* what, const Runs& runs) {
    const Time best = runs.best();
    const Time median = runs.median();
    std::printf("  %-34s %9.4f (%8.4f) %9.4f (%8.4f) %9.4f\n", what, best.wall, best.cpu, median.wall,
                median.cpu, runs.all.front().wall);
}

void printFigures(const Figures& f) {
    std::printf("%s: filled in %.3f s (%.3f s processor); %zu tree nodes, %d rows listed\n", f.engine.c_str(),
                f.fill.wall, f.fill.cpu, f.nodes, f.rows);
    std::printf("  %-34s %20s %20s %9s\n", "seconds, wall (processor)", "best", "median", "first");
    printRow("open window, tree painted", f.open.total);
    printRow("  new, setConnectionName", f.open.create);
    printRow("  load", f.open.load);
    printRow("  show, events, first paint", f.open.show);
    printRow("  repaint of the tree", f.open.repaint);
    printRow("list ECU, icons view", f.icons.total);
    printRow("  clickNode", f.icons.click);
    printRow("  events, paint", f.icons.paint);
    printRow("list ECU, details view", f.details.total);
    printRow("  clickNode", f.details.click);
    printRow("  events, paint", f.details.paint);
    std::printf("\n");
}

bool check(const std::string& what, double value, double limit) {
    const bool pass = value <= limit;
    std::printf("%-56s %8.4f s <= %.4f s  %s\n", what.c_str(), value, limit, pass ? "PASS" : "FAIL");
    return pass;
}

} // namespace

int main(int argc, char** argv) {
    // Offscreen on a full HD screen: the window then takes the size it takes on a usual desktop.
    fs::path screenFile;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        screenFile =
            fs::temp_directory_path() / ("zep-bench-viewer-screen-" + std::to_string(getpid()) + ".json");
        if (std::FILE* out = std::fopen(screenFile.c_str(), "w")) {
            std::fputs(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920, "height": 1080, )"
                       R"("logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})",
                       out);
            std::fclose(out);
            qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + screenFile.c_str());
        } else {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    QApplication app(argc, argv);
    if (!screenFile.empty())
        fs::remove(screenFile);

    int runs = 5;
    std::string server;
    if (const char* pg = std::getenv("ZEP_TEST_PG"))
        server = pg;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--pg" && i + 1 < argc) {
            server = argv[++i];
        } else if (arg == "--grab" && i + 1 < argc) {
            grabFolder = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fputs(usage, arg == "--help" ? stdout : stderr);
            return arg == "--help" ? 0 : 2;
        }
    }

    std::vector<Figures> figures;
    try {
        zep::loadDocuments(ZEP_SHARE_DIR, "en");
        figures.push_back(sqlite(runs));
        if (!server.empty())
            figures.push_back(postgres(server, runs));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zep-bench-viewer: %s\n", error.what());
        return 2;
    }

    std::printf("%d functions, %d ECUs, %d applications; the listed ECU has %d; %d runs; window %d x %d\n\n",
                functions, ecus, applications, bigEcuApplications, runs, windowSize.width(),
                windowSize.height());
    for (const Figures& f : figures)
        printFigures(f);

    // The median is the figure a user meets; the best one shows what the code can do on a quiet machine.
    bool pass = true;
    for (const Figures& f : figures) {
        pass &=
            check(f.engine + " open window, tree painted (median)", f.open.total.median().wall, openTarget);
        pass &= check(f.engine + " list ECU of 1,000, icons view (median)", f.icons.total.median().wall,
                      listTarget);
        pass &= check(f.engine + " list ECU of 1,000, details view (median)", f.details.total.median().wall,
                      listTarget);
    }
    if (figures.size() < 2)
        std::printf("PostgreSQL not measured: set ZEP_TEST_PG or pass --pg CONNECTION\n");
    std::printf("%s\n", pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
