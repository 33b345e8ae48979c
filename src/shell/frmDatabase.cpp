#include "frmDatabase.h"

#include "DatabaseWindows.h"
#include "DropHandler.h"
#include "FindBar.h"
#include "ItemCommands.h"
#include "Session.h"
#include "ToolCommands.h"
#include "database/Connection.h"
#include "database/ItemKey.h"
#include "database/Sql.h"
#include "dialogs/DatabaseChooser.h"
#include "dialogs/ctlSplitterEx.h"
#include "navigation/Listing.h"
#include "pictures/Pictures.h"
#include "text/TextCatalog.h"
#include "views/ControlTexts.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"
#include "views/QtText.h"
#include "views/WaitCursor.h"

#include <QActionGroup>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include <filesystem>

namespace zep {

namespace {

// Bar and pane limits of the splitter between the tree and the list.
constexpr int BarSize = 6;
constexpr int FirstPaneAtLeast = 100;

struct FilterText {
    const char* name;
    const char* def;
};
constexpr FilterText Filters[] = {
    {"openUdlFile", "UDL File (*.udl)|*.udl|All files (*.*)|*.*"},
    {"open",
     "S file (*.s, *.s19, *.s28, *.s37, *.srec, *.mot, *.ulp)|*.s;*.s19;*.s28;*.s37;*.srec;*.mot;*.ulp|"
     "KWP file (*.kwp)|*.kwp|H86 file (*.h86, *.hex, *.ihex, *.ihx)|*.h86;*.hex;*.ihex;*.ihx|"
     "All files (*.*)|*.*"},
    {"save",
     "S file (*.s, *.s19, *.s28, *.s37, *.srec, *.mot, *.ulp)|*.s;*.s19;*.s28;*.s37;*.srec;*.mot;*.ulp|"
     "KWP file (*.kwp)|*.kwp|XML file (*.xml)|*.xml|"
     "H86 file (*.h86, *.hex, *.ihex, *.ihx)|*.h86;*.hex;*.ihex;*.ihx|All files (*.*)|*.*"},
    {"openSaveXml", "XML file (*.xml)|*.xml|All files (*.*)|*.*"},
    {"openKwp", "KWP file (*.kwp)|*.kwp|All files (*.*)|*.*"},
    {"saveTxt", "Text file (*.txt)|*.txt|All files (*.*)|*.*"},
    {"saveMdb", "Database file (*.zdb;*.sqlite;*.db)|*.zdb;*.sqlite;*.db|All files (*.*)|*.*"},
};

QString kindText(bool central) {
    return central ? qtr("frmDatabase/Messages/centralDB/text", "Central database")
                   : qtr("frmDatabase/Messages/localDB/text", "Local database");
}

} // namespace

frmDatabase::frmDatabase(QWidget* parent) : QMainWindow(parent), interaction_(this) {
    setObjectName("frmDatabase");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(pictures::applicationIcon());
    createControls();
    createMenus();
    commands_ = std::make_unique<ItemCommands>(*this);
    drops_ = std::make_unique<DropHandler>(*this);
    DatabaseWindows::add(this);
}

frmDatabase::~frmDatabase() {
    DatabaseWindows::remove(this);
    // The views outlive the commands while the window goes: they must not call into them.
    lvMain_->listModel().setEditable({});
    lvMain_->onDragEnter = {};
    lvMain_->onDragMove = {};
    lvMain_->onDragLeave = {};
    lvMain_->onDrop = {};
    tvMain_->acceptsDrop = {};
    tvMain_->dropped = {};
    tvMain_->dragEntered = {};
}

void frmDatabase::createControls() {
    tbMain_ = addToolBar("tbMain");
    tbMain_->setObjectName("tbMain");
    tbMain_->setMovable(false);
    tbMain_->setIconSize(QSize(24, 24));
    addButton("New", "New Hardware");
    tbMain_->addSeparator();
    addButton("Open", "Open file");
    addButton("Save", "Save file");
    tbMain_->addSeparator();
    addButton("Delete", "Delete");
    addButton("Up", "One level up");
    tbMain_->addSeparator();
    addButton("LargeIcons", "Large icons");
    addButton("SmallIcons", "Small icons");
    addButton("List", "List");
    addButton("Details", "Details");
    tbMain_->addSeparator();
    addButton("Properties", "View properties");
    addButton("Find", "Search...")->setShortcut(QKeySequence::Find);
    addToolBarBreak();
    findBar_ = new FindBar(*this);
    addToolBar(findBar_);

    tvMain_ = new DatabaseTree(tree_);
    lvMain_ = new ItemList;
    splitter_ = new ctlSplitterEx(Qt::Horizontal);
    splitter_->setObjectName("splitter");
    splitter_->setHandleWidth(BarSize);
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(tvMain_);
    splitter_->addWidget(lvMain_);
    // The bar stops BarSize from the left edge and twice BarSize from the right one.
    tvMain_->setMinimumWidth(BarSize);
    lvMain_->setMinimumWidth(BarSize);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);

    infoPanel_ = new QLabel;
    infoPanel_->setObjectName("Info");
    versionPanel_ = new QLabel;
    versionPanel_->setObjectName("Version");
    languagePanel_ = new QLabel;
    languagePanel_->setObjectName("Language");
    statusBar()->setObjectName("sbMain");
    statusBar()->addWidget(infoPanel_, 1);
    statusBar()->addPermanentWidget(versionPanel_);
    statusBar()->addPermanentWidget(languagePanel_);

    connect(tvMain_, &DatabaseTree::nodeClicked, this, &frmDatabase::listNode);
    const auto popupAt = [this](const QPoint& at) {
        updateEnabledState();
        popup(at);
    };
    connect(tvMain_, &DatabaseTree::popupRequested, this, popupAt);
    connect(lvMain_, &ItemList::popupRequested, this, popupAt);
    connect(lvMain_, &ItemList::itemClicked, this, &frmDatabase::updateEnabledState);
    connect(lvMain_, &ItemList::itemActivated, this, &frmDatabase::activateItem);
    connect(lvMain_, &ItemList::upRequested, this, [this] {
        if (button("Up")->isEnabled())
            up();
    });
    connect(lvMain_, &ItemList::pointerTag, this, [this](const QString& tag, bool overItem) {
        if (!overItem || tag.isEmpty())
            showItemCount();
        else
            setInfoText(tag);
    });
    connect(lvMain_, &ItemList::clickedEmpty, this, [this] {
        showItemCount();
        updateEnabledState();
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && isAncestorOf(now))
            updateEnabledState();
    });
}

QAction* frmDatabase::addButton(const QString& key, const QString& toolTip) {
    QAction* action = tbMain_->addAction(pictures::icon(key), toolTip);
    action->setProperty("key", key);
    action->setToolTip(toolTip);
    action->setObjectName("tbMain_" + key);
    connect(action, &QAction::triggered, this, [this, key] { buttonCommand(key); });
    return action;
}

QAction* frmDatabase::button(const QString& key) const {
    for (QAction* action : tbMain_->actions()) {
        if (action->property("key").toString() == key)
            return action;
    }
    return nullptr;
}

QAction* frmDatabase::menuAction(QMenu& menu, const char* name, const QString& caption) {
    QAction* action = menu.addAction(caption);
    action->setObjectName(name);
    return action;
}

void frmDatabase::createMenus() {
    mnuFile_ = menuBar()->addMenu("&File");
    mnuFile_->setObjectName("mnuFile");
    mnuFileOpen_ = menuAction(*mnuFile_, "mnuFileOpen", "&Open");
    mnuFileOpen_->setShortcut(QKeySequence::Open);
    connect(mnuFileOpen_, &QAction::triggered, this, [this] { buttonCommand("Open"); });
    mnuFileSave_ = menuAction(*mnuFile_, "mnuFileSave", "&Save");
    mnuFileSave_->setShortcut(QKeySequence::Save);
    connect(mnuFileSave_, &QAction::triggered, this, [this] { buttonCommand("Save"); });
    mnuFile_->addSeparator();
    connect(menuAction(*mnuFile_, "mnuFileDatabase", "Open &Database..."), &QAction::triggered, this,
            &frmDatabase::openDatabaseWindow);
    connect(menuAction(*mnuFile_, "mnuFileNewDatabase", "&New Database..."), &QAction::triggered, this,
            &frmDatabase::newDatabaseWindow);
    mnuFile_->addSeparator();
    connect(menuAction(*mnuFile_, "mnuFileQuit", "&Quit"), &QAction::triggered, this, &QWidget::close);

    mnuEdit_ = menuBar()->addMenu("&Edit");
    mnuEdit_->setObjectName("mnuEdit");
    mnuEditDelete_ = menuAction(*mnuEdit_, "mnuEditDelete", "&Delete");
    connect(mnuEditDelete_, &QAction::triggered, this, [this] { buttonCommand("Delete"); });
    mnuEdit_->addSeparator();
    mnuEditViewBytes_ = menuAction(*mnuEdit_, "mnuEditViewBytes", "View &bytes");
    connect(mnuEditViewBytes_, &QAction::triggered, this, &frmDatabase::viewBytes);
    connect(mnuEdit_, &QMenu::aboutToShow, this, [this] {
        mnuEditDelete_->setEnabled(button("Delete")->isEnabled());
        mnuEditViewBytes_->setEnabled(!viewBytesKey().empty());
    });

    mnuTools_ = menuBar()->addMenu("&Tools");
    mnuTools_->setObjectName("mnuTools");
    mnuToolsLanguage_ = mnuTools_->addMenu("&Language");
    mnuToolsLanguage_->setObjectName("mnuToolsLanguage");
    mnuTools_->addSeparator();
    connect(menuAction(*mnuTools_, "mnuToolsCalc", "&Calculator"), &QAction::triggered, this,
            [] { ToolCommands::startCalculator(); });
    connect(menuAction(*mnuTools_, "mnuToolsCompactDB", "Compact database"), &QAction::triggered, this,
            [this] { ToolCommands::compactDatabase(*this); });
    connect(menuAction(*mnuTools_, "mnuToolsKwp2Txt", "&KWP file --> Text file"), &QAction::triggered, this,
            [this] { ToolCommands::kwpToText(*this); });

    mnuView_ = menuBar()->addMenu("&View");
    mnuView_->setObjectName("mnuView");
    const char* views[] = {"&Large Icons", "&Small Icons", "&List", "&Details"};
    const char* viewButtons[] = {"LargeIcons", "SmallIcons", "List", "Details"};
    for (int i = 0; i < 4; ++i) {
        QAction* entry = menuAction(*mnuView_, "mnuViewView", views[i]);
        entry->setProperty("menuIndex", i);
        entry->setCheckable(true);
        const QString key = viewButtons[i];
        connect(entry, &QAction::triggered, this, [this, key] { buttonCommand(key); });
        mnuViewView_.push_back(entry);
    }
    mnuViewView_[0]->setChecked(true);
    mnuView_->addSeparator();
    QMenu* sort = mnuView_->addMenu("Reorganize icons");
    sort->setObjectName("mnuViewSort");
    mnuViewSortAuto_ = menuAction(*sort, "mnuViewSortAuto", "Reorganize automatically");
    mnuViewSortAuto_->setCheckable(true);
    mnuViewSortAuto_->setChecked(true);
    connect(mnuViewSortAuto_, &QAction::triggered, this, [this] {
        lvMain_->setAutoArrange(!lvMain_->autoArrange());
        mnuViewSortAuto_->setChecked(lvMain_->autoArrange());
    });
    mnuViewBackground_ = mnuView_->addMenu("Background image");
    mnuViewBackground_->setObjectName("mnuViewBackground");
    mnuView_->addSeparator();
    mnuViewProperties_ = menuAction(*mnuView_, "mnuViewProperties", "&Properties");
    connect(mnuViewProperties_, &QAction::triggered, this, [this] { buttonCommand("Properties"); });

    mnuHelp_ = menuBar()->addMenu("&?");
    mnuHelp_->setObjectName("mnuHelp");
    mnuHelpInfo_ = menuAction(*mnuHelp_, "mnuHelpInfo", "Information");
    connect(mnuHelpInfo_, &QAction::triggered, this, [this] { ToolCommands::showInformation(*this); });
    mnuHelp_->addSeparator();
    connect(menuAction(*mnuHelp_, "mnuHelpAbout", "&About"), &QAction::triggered, this,
            [this] { ToolCommands::showAbout(*this); });

    mnuPopup_ = new QMenu(this);
    mnuPopup_->setObjectName("mnuPopup");
    mnuPopupProperties_ = menuAction(*mnuPopup_, "mnuPopupProperties", "&Properties");
    QFont bold = mnuPopupProperties_->font();
    bold.setBold(true);
    mnuPopupProperties_->setFont(bold);
    mnuPopupViewBytes_ = menuAction(*mnuPopup_, "mnuPopupViewBytes", "View &bytes");
    connect(mnuPopupViewBytes_, &QAction::triggered, this, &frmDatabase::viewBytes);
    mnuPopup_->addSeparator();
    mnuPopupOpen_ = menuAction(*mnuPopup_, "mnuPopupOpen", "&Open");
    mnuPopupSave_ = menuAction(*mnuPopup_, "mnuPopupSave", "&Save");
    mnuPopupDelete_ = menuAction(*mnuPopup_, "mnuPopupDelete", "&Delete");
    mnuPopup_->addSeparator();
    mnuPopupCreateTestDataSet_ = menuAction(*mnuPopup_, "mnuPopupCreateTestDataSet", "Create data set");
    connect(mnuPopupProperties_, &QAction::triggered, this, [this] { buttonCommand("Properties"); });
    connect(mnuPopupOpen_, &QAction::triggered, this, [this] { buttonCommand("Open"); });
    connect(mnuPopupSave_, &QAction::triggered, this, [this] { buttonCommand("Save"); });
    connect(mnuPopupDelete_, &QAction::triggered, this, [this] { buttonCommand("Delete"); });
    connect(mnuPopupCreateTestDataSet_, &QAction::triggered, this,
            [this] { commands_->createTestDataSet(); });
}

void frmDatabase::setConnectionName(const std::string& connectionString) {
    db_.reset();
    connectionName_.clear();
    // A database that may not be written is shown all the same, read-only.
    db_ = Connection::open(connectionString, &interaction(), Access::Read);
    connectionName_ = connectionString;
    lvMain_->listModel().setConnectionString(qs(connectionString));
}

void frmDatabase::closeConnection() {
    db_.reset();
}

bool frmDatabase::isCentral() const {
    return db_ && db_->isCentral();
}

bool frmDatabase::isReadOnly() const {
    return db_ && db_->isReadOnly();
}

std::string frmDatabase::dataSource() const {
    return db_ ? db_->dataSource() : std::string();
}

bool frmDatabase::load() {
    initialiseControls(true);
    versionPanel_->setText(qs(" ZEP Viewer - v" + programVersion() + "  "));
    valid_ = buildTree();
    sizeWindow();
    if (!valid_) {
        enterInvalidState();
        return false;
    }
    showItemCount();
    if (isReadOnly())
        tvMain_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvMain_->select("r");
    tvMain_->setFocus();
    updateEnabledState();
    return true;
}

void frmDatabase::enterInvalidState() {
    mnuFileOpen_->setEnabled(false);
    mnuFileSave_->setEnabled(false);
    mnuEdit_->setEnabled(false);
    mnuView_->setEnabled(false);
    for (QAction* action : tbMain_->actions())
        action->setEnabled(false);
    tbMain_->setEnabled(false);
    splitter_->setEnabled(false);
    lvMain_->setEnabled(false);
    tvMain_->setEnabled(false);
    setInfoText(qtr("frmDatabase/Messages/invalidDatabase/text", "Invalid ZEP database. Please check ! "));
}

void frmDatabase::sizeWindow() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    resize(area.width() * 2 / 3, area.height() * 2 / 3);
    move(area.left() + area.width() / 6, area.top() + area.height() / 6);
    splitter_->setSizes({std::max(FirstPaneAtLeast, std::min(width() / 3, 320)), width()});
}

void frmDatabase::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isMinimized())
        return;
    // A window springs back to at least 380 x 200 pixels.
    if (width() < 380 || height() < 200)
        resize(std::max(width(), 380), std::max(height(), 200));
}

void frmDatabase::readFilters() {
    for (const FilterText& f : Filters)
        filters_[f.name] =
            dialogFilter(zep::tr(std::string("frmDatabase/dialogs/") + f.name + "/filter", f.def));
}

QString frmDatabase::filter(const char* name) const {
    auto it = filters_.find(name);
    return it == filters_.end() ? QString() : it->second;
}

void frmDatabase::initialiseControls(bool firstTime) {
    applyControlTexts(*this, "frmDatabase/Controls");
    readFilters();
    TextCatalog& texts = TextCatalog::instance();
    if (firstTime) {
        const std::string configured = texts.config("Parameters/ListView/backgroundImage", "none");
        mnuViewBackground_->clear();
        mnuViewBgPicture_.clear();
        QActionGroup* group = new QActionGroup(mnuViewBackground_);
        const auto addEntry = [&](const QString& text) {
            QAction* entry = mnuViewBackground_->addAction(text);
            entry->setObjectName("mnuViewBgPicture");
            entry->setCheckable(true);
            entry->setActionGroup(group);
            const int index = int(mnuViewBgPicture_.size());
            entry->setProperty("menuIndex", index);
            connect(entry, &QAction::triggered, this, [this, index] { setBackground(index); });
            mnuViewBgPicture_.push_back(entry);
            return entry;
        };
        addEntry(qtr("frmDatabase/Controls/mnuViewBgPicture/caption", "None"));
        QAction* userDefined =
            addEntry(qtr("frmDatabase/Controls/mnuViewBgPictureUserDefined/caption", "User defined"));
        userDefined->setObjectName("mnuViewBgPictureUserDefined");
        userDefined->setVisible(false);
        int selected = 0;
        const QStringList keys = pictures::backgroundKeys();
        for (int i = 0; i < keys.size(); ++i) {
            addEntry(keys[i]);
            if (ss(keys[i]) == configured) {
                lvMain_->setBackground(pictures::background(keys[i]));
                selected = i + 2;
            }
        }
        // The user configuration file beside the database: control texts, and a picture of one's own.
        const std::string userFile = userConfigurationPath(dataSource(), isCentral());
        Session& session = Session::instance();
        if (!userFile.empty() && isRegularFile(userFile)) {
            applyControlTextsFrom(userFile, *this, "frmDatabase/Controls");
            if (!session.userBackgroundPath) {
                session.userConfigurationRead = userFile;
                std::string picture;
                texts.withDocument(userFile,
                                   [&] { picture = texts.config("userParameters/backgroundImage", ""); });
                session.userBackgroundPath = picture;
            }
        }
        if (session.userBackgroundPath && isRegularFile(*session.userBackgroundPath)) {
            QPixmap picture(qs(*session.userBackgroundPath));
            if (!picture.isNull()) {
                userPicture_ = picture;
                userDefined->setText(
                    qtr("frmDatabase/Controls/mnuViewBgPictureUserDefined/caption", "User defined"));
                userDefined->setVisible(true);
                selected = 1;
                lvMain_->setBackground(picture);
            }
        }
        mnuViewBgPicture_[std::size_t(selected)]->setChecked(true);

        mnuToolsLanguage_->clear();
        mnuToolsLanguageLang_.clear();
        QActionGroup* languages = new QActionGroup(mnuToolsLanguage_);
        const auto addLanguage = [&](const QString& caption, const std::string& code) {
            QAction* entry = mnuToolsLanguage_->addAction(caption);
            entry->setObjectName("mnuToolsLanguageLang");
            entry->setProperty("menuIndex", int(mnuToolsLanguageLang_.size()));
            entry->setData(qs(code));
            entry->setCheckable(true);
            entry->setActionGroup(languages);
            connect(entry, &QAction::triggered, this, [this, code] { switchLanguage(code); });
            mnuToolsLanguageLang_.push_back(entry);
            return entry;
        };
        // English stays checked unless the menu offers the current language (a "de" has no entry).
        addLanguage("English", "en")->setChecked(true);
        for (const pugi::xpath_node& item : texts.select("Parameters/availableLanguages/item")) {
            const std::string code = textContent(item.node().child("key"));
            QAction* entry = addLanguage(qs(textContent(item.node().child("caption"))), code);
            if (code == texts.language())
                entry->setChecked(true);
        }
    }
    languagePanel_->setText(qs(texts.language()));
    setCaption();
}

void frmDatabase::setCaption(const QString& path) {
    QString kind = kindText(isCentral());
    if (isReadOnly())
        kind += ", " + qtr("frmDatabase/Messages/readOnlyDB/text", "read-only");
    QString caption = "[" + kind + "] " + qs(dataSource());
    if (!path.isEmpty())
        caption += "\\" + path;
    setWindowTitle(caption);
}

void frmDatabase::switchLanguage(const std::string& code) {
    TextCatalog& texts = TextCatalog::instance();
    if (code == texts.language() || (code.empty() && texts.language() == "en"))
        return;
    texts.setLanguage(code);
    initialiseControls(false);
    buildTree();
    for (QAction* entry : mnuToolsLanguageLang_)
        entry->setChecked(ss(entry->data().toString()) == texts.language());
}

void frmDatabase::setBackground(int entry) {
    if (entry == 0)
        lvMain_->setBackground({});
    else if (entry == 1) {
        if (!userPicture_.isNull())
            lvMain_->setBackground(userPicture_);
    } else {
        const QStringList keys = pictures::backgroundKeys();
        if (entry - 2 < keys.size())
            lvMain_->setBackground(pictures::background(keys[entry - 2]));
    }
    for (std::size_t i = 0; i < mnuViewBgPicture_.size(); ++i)
        mnuViewBgPicture_[i]->setChecked(int(i) == entry);
}

bool frmDatabase::buildTree() {
    if (!db_ || !tree_.build(*db_))
        return false;
    tvMain_->rebuilt();
    lvMain_->setAutoArrange(true);
    mnuViewSortAuto_->setChecked(true);
    lvMain_->showTreeBuild(Listing::functions(tree_));
    showItemCount();
    setCaption();
    // The path is back at the root: the commands of the node left must not stay enabled.
    updateEnabledState();
    return true;
}

void frmDatabase::listNode(const TreeNode* node) {
    if (!db_)
        return;
    WaitCursor busy;
    const std::string key = node->key();
    Listing listing;
    tvMain_->treeModel().adding([&] { listing = Listing::of(*db_, tree_, key); });
    for (const TreeNode* added : listing.added)
        tvMain_->expand(tvMain_->treeModel().indexOf(added->parent()));
    lvMain_->show(listing);
    tvMain_->select(key);
    setCaption(qs(tree_.find(key) ? tree_.find(key)->fullPath() : std::string()));
    showItemCount();
    updateEnabledState();
}

void frmDatabase::clickNode(const std::string& key) {
    const TreeNode* node = tree_.find(key);
    if (!node)
        return;
    tvMain_->select(key);
    tvMain_->clickNode(node);
}

void frmDatabase::refreshList() {
    const auto& path = tvMain_->selectionPath();
    if (path.empty())
        return;
    const TreeNode* last = path.back();
    tvMain_->resetPath(last);
    tvMain_->clickNode(last);
}

void frmDatabase::EnsureSelectedFunction(int address) {
    const std::string key = "g" + std::to_string(address);
    const TreeNode* function = tvMain_->selectedFunction();
    if (function && function->key() == key)
        return;
    clickNode(key);
}

void frmDatabase::inserted(const TreeSource::Insertion& insertion) {
    if (insertion.parentKey.empty())
        return;
    const auto& path = tvMain_->selectionPath();
    const bool listedAlready = !path.empty() && path.back()->key() == insertion.parentKey;
    if (listedAlready)
        refreshList();
    else
        clickNode(insertion.parentKey);
    lvMain_->select(insertion.itemKey);
    updateEnabledState();
}

TreeSource::Insertion frmDatabase::addApplicationNode(qint64 appId, qint64 ecuId) {
    TreeSource::Insertion insertion;
    if (!db_)
        return insertion;
    QSqlQuery row = db_->execute("SELECT [App Name] FROM [Applications] WHERE [App Id] = ?", {appId});
    const std::string name = row.next() ? sql::text(row.value(0)) : std::string();
    tvMain_->treeModel().adding([&] { insertion = tree_.insertApplication(appId, name, ecuId); });
    return insertion;
}

int frmDatabase::depth() const {
    return int(tvMain_->selectionPath().size());
}

bool frmDatabase::isDefaultTuningItem(const std::string& key) const {
    return depth() == 4 && keyKind(key) == ItemKey::Application;
}

void frmDatabase::showItemCount() {
    setInfoText(qs(itemCountText(std::size_t(lvMain_->listModel().rowCount()))));
}

QString frmDatabase::infoText() const {
    return infoPanel_->text();
}

void frmDatabase::setInfoText(const QString& text) {
    if (infoPanel_->text() != text)
        infoPanel_->setText(text);
}

void frmDatabase::updateEnabledState() {
    if (!valid_)
        return;
    const int d = depth();
    const bool listFocused = lvMain_->focused();
    const bool treeFocused = !listFocused && tvMain_->hasFocus();
    const bool local = !isCentral();
    const TreeNode* current = tvMain_->currentNode();
    const bool selected = listFocused ? lvMain_->selectedRow() != nullptr : treeFocused && current != nullptr;
    bool open, save, del, upEnabled, properties, create;
    if (listFocused) {
        create = d >= 2;
        open = true;
        save = d >= 2 && selected;
        del = local && selected;
        upEnabled = d >= 2;
        properties = d >= 2 && selected;
    } else if (treeFocused) {
        create = d >= 2;
        open = d >= 2;
        save = d >= 3 && selected;
        del = local && d >= 2 && selected;
        upEnabled = d >= 2;
        properties = d >= 3 && selected;
    } else {
        create = false;
        open = d >= 2;
        save = del = properties = false;
        upEnabled = d >= 2 && !(current && current->kind() == ItemKey::Root);
    }
    // A read-only database is looked at: nothing is added to it or taken from it.
    const bool writable = !isReadOnly();
    create = create && writable;
    open = open && writable;
    del = del && writable;
    button("New")->setEnabled(create);
    button("Open")->setEnabled(open);
    button("Save")->setEnabled(save);
    button("Delete")->setEnabled(del);
    button("Up")->setEnabled(upEnabled);
    button("Properties")->setEnabled(properties);
    mnuFileOpen_->setEnabled(open);
    mnuFileSave_->setEnabled(save);
    mnuEditDelete_->setEnabled(del);
    mnuViewProperties_->setEnabled(properties);
    mnuEditViewBytes_->setEnabled(!viewBytesKey().empty());
}

std::string frmDatabase::viewBytesKey() const {
    const bool listFocused = lvMain_->focused();
    const ListRow* item = listFocused ? lvMain_->selectedRow() : nullptr;
    const TreeNode* node = !listFocused && tvMain_->hasFocus() ? tvMain_->currentNode() : nullptr;
    const std::string key = item ? item->key : node ? node->key() : std::string();
    const char kind = keyKind(key);
    return kind == ItemKey::Application || kind == ItemKey::Tuning ? key : std::string();
}

void frmDatabase::viewBytes() {
    const std::string key = viewBytesKey();
    if (key.empty())
        return;
    const ListRow* item = lvMain_->focused() ? lvMain_->selectedRow() : nullptr;
    const TreeNode* node = item ? nullptr : tvMain_->currentNode();
    const std::string text = item ? item->text : node ? node->text() : std::string();
    commands_->viewBytes(key, text, item && isDefaultTuningItem(key));
}

void frmDatabase::buttonCommand(const QString& key) {
    const bool listFocused = lvMain_->focused();
    const bool treeFocused = !listFocused && tvMain_->hasFocus();
    const ListRow* item = listFocused ? lvMain_->selectedRow() : nullptr;
    const TreeNode* node = treeFocused ? tvMain_->currentNode() : nullptr;
    // Copies: a command may refill the list or the tree under these.
    const std::string itemKey = item ? item->key : node ? node->key() : std::string();
    const std::string itemText = item ? item->text : node ? node->text() : std::string();

    if (key == "New") {
        commands_->newEcu();
    } else if (key == "Open") {
        commands_->open();
    } else if (key == "Save") {
        if (item && isDefaultTuningItem(itemKey))
            commands_->saveDefaultTuning(itemKey, itemText);
        else if (!itemKey.empty())
            commands_->save(itemKey, itemText);
    } else if (key == "Delete") {
        if (item && isDefaultTuningItem(itemKey)) {
            interaction().inform(zep::tr("frmDatabase/Controls/tbMain/errorUnableToDelete/text",
                                         "Unable to delete global item"));
        } else if (item) {
            if (commands_->deleteItem(itemKey, itemText))
                updateEnabledState();
        } else if (node) {
            const std::string parentKey = node->parent() ? node->parent()->key() : std::string("r");
            if (commands_->deleteItem(itemKey, itemText))
                clickNode(parentKey);
        }
    } else if (key == "Find") {
        findBar_->open();
    } else if (key == "Up") {
        up();
    } else if (key == "LargeIcons" || key == "Details" || key == "SmallIcons" || key == "List") {
        if (key == "LargeIcons")
            lvMain_->setView(ItemList::LargeIcons);
        else if (key == "Details")
            lvMain_->setView(ItemList::Details);
        for (std::size_t i = 0; i < mnuViewView_.size(); ++i)
            mnuViewView_[i]->setChecked(int(i) == lvMain_->view());
    } else if (key == "Properties") {
        if (item && isDefaultTuningItem(itemKey))
            commands_->applicationProperties(itemKey);
        else if (!itemKey.empty())
            commands_->properties(itemKey);
    }
}

void frmDatabase::up() {
    const TreeNode* node = tvMain_->currentNode();
    if (!node || !node->parent())
        return;
    const std::string left = node->key();
    clickNode(node->parent()->key());
    lvMain_->select(left);
    updateEnabledState();
}

void frmDatabase::activateItem() {
    const ListRow* item = lvMain_->selectedRow();
    if (!item)
        return;
    const std::string key = item->key;
    if (lvMain_->listModel().level() == ItemSearch::Level) {
        findBar_->goTo(key);
        return;
    }
    if (tree_.find(key))
        tvMain_->select(key);
    if (keyKind(key) == ItemKey::Tuning || isDefaultTuningItem(key)) {
        buttonCommand("Properties");
        return;
    }
    tvMain_->clickNode(tvMain_->currentNode());
}

void frmDatabase::popup(const QPoint& globalPosition) {
    mnuPopupProperties_->setEnabled(button("Properties")->isEnabled());
    mnuPopupViewBytes_->setEnabled(!viewBytesKey().empty());
    mnuPopupOpen_->setEnabled(button("Open")->isEnabled());
    mnuPopupSave_->setEnabled(button("Save")->isEnabled());
    mnuPopupDelete_->setEnabled(button("Delete")->isEnabled());
    const ListRow* item = lvMain_->focused() ? lvMain_->selectedRow() : nullptr;
    const char kind = item ? keyKind(item->key) : 0;
    mnuPopupCreateTestDataSet_->setEnabled(!isReadOnly() &&
                                           (kind == ItemKey::Application || kind == ItemKey::Tuning));
    mnuPopup_->setDefaultAction(mnuPopupProperties_);
    mnuPopup_->popup(globalPosition);
}

QString frmDatabase::informationReport() const {
    return ToolCommands::informationReport(*this, mnuHelpInfo_->text());
}

frmDatabase::FileChoice frmDatabase::chooseFile(FileDialog kind, const QString& title, const QString& filters,
                                                const QString& suggested, const QString& defaultSuffix) {
    if (fileDialog)
        return fileDialog(kind, title, filters, suggested);
    QFileDialog dialog(this, title, suggested, filters);
    dialog.setAcceptMode(kind == FileDialog::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(kind == FileDialog::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (kind == FileDialog::SaveAsking)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().first(),
            int(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1};
}

std::string frmDatabase::chooseDatabase(frmDatabase* parent, const std::string& current) {
    if (const auto chosen = DatabaseChooser::ask(current, parent))
        return *chosen;
    const QString udlFilter =
        parent ? parent->filter("openUdlFile")
               : dialogFilter(zep::tr("frmDatabase/dialogs/openUdlFile/filter", Filters[0].def));
    const QString udl = QFileDialog::getOpenFileName(parent, {}, {}, udlFilter);
    return udl.isEmpty() ? std::string() : "File Name=" + ss(udl);
}

void frmDatabase::openDatabaseWindow() {
    const std::string answer = chooseDatabase(this, connectionName_);
    if (!answer.empty())
        DatabaseWindows::openBeside(*this, answer);
}

void frmDatabase::newDatabaseWindow() {
    const QString path = chooseFile(FileDialog::Save, {}, filter("saveMdb"), "new.zdb", "zdb").path;
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)) {
        interaction().critical(zep::tr("frmDatabase/Messages/newDatabase/exists/text",
                                       "The file {0} exists already: choose a new name.", ss(path)));
        return;
    }
    const std::string connectionString = ConnectionString::forFile(ss(path));
    try {
        Connection::create(connectionString);
    } catch (const std::exception& e) {
        interaction().critical(e.what());
        return;
    }
    DatabaseWindows::openBeside(*this, connectionString);
}

} // namespace zep
