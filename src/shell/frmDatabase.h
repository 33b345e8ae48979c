#pragma once

#include "navigation/TreeSource.h"
#include "shell/MessageBoxInteraction.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QToolBar;

namespace zep {

class Connection;
class DatabaseTree;
class DropHandler;
class FindBar;
class ItemCommands;
class ItemList;
class ctlSplitterEx;

/**
 * The main window: one database as a tree and a list, with the menus, toolbar and status bar that
 * reach every command. The commands themselves live in ItemCommands and DropHandler.
 */
class frmDatabase : public QMainWindow {
    Q_OBJECT
public:
    explicit frmDatabase(QWidget* parent = nullptr);
    ~frmDatabase() override;

    /**
     * Closes the connection and opens the one the string names. A failure leaves the window without
     * a connection and with an empty connection string, and raises the error.
     */
    void setConnectionName(const std::string& connectionString);
    const std::string& connectionName() const { return connectionName_; }
    /** lets go of the database (compaction of the open file); the views keep what they show */
    void closeConnection();
    /** null when the connection could not be opened */
    Connection* connection() const { return db_.get(); }
    bool isCentral() const;
    /** the database may only be looked at: the caption says so, and what would write is disabled */
    bool isReadOnly() const;
    std::string dataSource() const;

    /** the start-up sequence: texts, tree, list and enabled states; false leaves the window invalid */
    bool load();
    bool valid() const { return valid_; }

    /** reads the tree anew and lists the functions; false when the database has no tree */
    bool buildTree();
    /** makes the function node of address the selected node and lists it, unless it is selected already */
    void EnsureSelectedFunction(int address);
    /** makes the node of key selected and lists its children (a node click) */
    void clickNode(const std::string& key);
    /** lists again the node that ends the selection path */
    void refreshList();
    /** after a new application or tuning was stored: the tree node, the listing and the selection */
    void inserted(const TreeSource::Insertion& insertion);
    /** the tree node of an application just stored under ecuId, named as the database has it */
    TreeSource::Insertion addApplicationNode(qint64 appId, qint64 ecuId);

    DatabaseTree& tree() { return *tvMain_; }
    ItemList& list() { return *lvMain_; }
    TreeSource& treeSource() { return tree_; }
    ItemCommands& commands() { return *commands_; }
    FindBar& findBar() { return *findBar_; }
    DropHandler& drops() { return *drops_; }
    /** where the window's messages and questions go: message boxes, unless a test put its own */
    Interaction& interaction() { return replacement_ ? *replacement_ : interaction_; }
    void setInteraction(Interaction* replacement) { replacement_ = replacement; }

    /** what a file dialog answered: the path (empty when cancelled) and the 1-based filter chosen */
    struct FileChoice {
        QString path;
        int filterIndex = 0;
    };
    enum class FileDialog { Open, Save, SaveAsking };
    /**
     * Shows a file dialog (Save asks before overwriting; SaveAsking leaves that to the command). Tests
     * replace fileDialog to answer without a dialog.
     */
    FileChoice chooseFile(FileDialog kind, const QString& title, const QString& filters,
                          const QString& suggested = {}, const QString& defaultSuffix = {});
    std::function<FileChoice(FileDialog, const QString& title, const QString& filters,
                             const QString& suggested)>
        fileDialog;

    /** the selection path's length: 1 root, 2 function, 3 ECU, 4 application */
    int depth() const;
    /** the application's own entry in the list of its tunings */
    bool isDefaultTuningItem(const std::string& key) const;

    /** the toolbar's command of a key ("Open", "Save", "Delete", "Up", "LargeIcons", "Details", "Properties",
     * ...) */
    void buttonCommand(const QString& key);
    /** "View bytes": the hex view of the focused view's application, tuning or default tuning */
    void viewBytes();
    QAction* button(const QString& key) const;
    void updateEnabledState();

    /** the control initialisation; firstTime also reads the pictures and the language menu */
    void initialiseControls(bool firstTime);
    void switchLanguage(const std::string& code);
    void setBackground(int entry);
    void showItemCount();
    QString infoText() const;
    void setInfoText(const QString& text);

    /** the information report's text */
    QString informationReport() const;
    /** the seven file-dialog filters, in Qt's form */
    QString filter(const char* name) const;

    /**
     * Asks for a database: the chooser dialog, then (when it is cancelled) a data link file. Empty
     * when the user chose nothing.
     */
    static std::string chooseDatabase(frmDatabase* parent, const std::string& current);
    /** opens another window on a database the user chooses, beside this one */
    void openDatabaseWindow();
    /** makes a new local database and opens it in a new window */
    void newDatabaseWindow();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void createMenus();
    QAction* addButton(const QString& key, const QString& toolTip);
    QAction* menuAction(QMenu& menu, const char* name, const QString& caption);
    void listNode(const TreeNode* node);
    void setCaption(const QString& path = {});
    void enterInvalidState();
    void sizeWindow();
    void popup(const QPoint& globalPosition);
    void up();
    void activateItem();
    void readFilters();
    /** the item "View bytes" applies to: the focused view's application or tuning; empty when none */
    std::string viewBytesKey() const;

    std::unique_ptr<Connection> db_;
    std::string connectionName_;
    TreeSource tree_;
    MessageBoxInteraction interaction_;
    Interaction* replacement_ = nullptr;
    bool valid_ = false;

    DatabaseTree* tvMain_ = nullptr;
    ItemList* lvMain_ = nullptr;
    ctlSplitterEx* splitter_ = nullptr;
    QToolBar* tbMain_ = nullptr;
    FindBar* findBar_ = nullptr;
    QLabel* infoPanel_ = nullptr;
    QLabel* versionPanel_ = nullptr;
    QLabel* languagePanel_ = nullptr;

    QMenu* mnuFile_ = nullptr;
    QMenu* mnuEdit_ = nullptr;
    QMenu* mnuTools_ = nullptr;
    QMenu* mnuView_ = nullptr;
    QMenu* mnuHelp_ = nullptr;
    QMenu* mnuToolsLanguage_ = nullptr;
    QMenu* mnuViewBackground_ = nullptr;
    QMenu* mnuPopup_ = nullptr;
    QAction* mnuFileOpen_ = nullptr;
    QAction* mnuFileSave_ = nullptr;
    QAction* mnuEditDelete_ = nullptr;
    QAction* mnuEditViewBytes_ = nullptr;
    QAction* mnuViewProperties_ = nullptr;
    QAction* mnuViewSortAuto_ = nullptr;
    QAction* mnuHelpInfo_ = nullptr;
    std::vector<QAction*> mnuViewView_;
    std::vector<QAction*> mnuViewBgPicture_;
    std::vector<QAction*> mnuToolsLanguageLang_;
    QAction* mnuPopupProperties_ = nullptr;
    QAction* mnuPopupViewBytes_ = nullptr;
    QAction* mnuPopupOpen_ = nullptr;
    QAction* mnuPopupSave_ = nullptr;
    QAction* mnuPopupDelete_ = nullptr;
    QAction* mnuPopupCreateTestDataSet_ = nullptr;
    QPixmap userPicture_;

    std::unique_ptr<ItemCommands> commands_;
    std::unique_ptr<DropHandler> drops_;
    std::map<std::string, QString> filters_;
};

} // namespace zep
