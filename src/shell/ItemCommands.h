#pragma once

#include <string>

namespace zep {

class frmDatabase;

/**
 * The item commands of a main window: open, save, delete, rename, properties and data sets. Each
 * runs the use case of the commands and database layers and then brings the tree and the list up to
 * date; messages and questions go through the window's message boxes.
 */
class ItemCommands {
public:
    explicit ItemCommands(frmDatabase& window);

    /** a flash file into the selected ECU, or an XML file when no ECU is selected */
    void open();
    void save(const std::string& key, const std::string& text);
    /** the application's tuning area, saved as its default tuning */
    void saveDefaultTuning(const std::string& key, const std::string& text);
    /** true when the item was deleted */
    bool deleteItem(const std::string& key, const std::string& text);
    /** a label edited in the list (fromTree false) or in the tree */
    void rename(const std::string& key, const std::string& text, bool fromTree);
    /** the dialog of the key's kind: an ECU's or an application's or a tuning's */
    void properties(const std::string& key);
    /** the application's own image, clipped to its tuning area (the default tuning item) */
    /** "New": a new ECU under the selected function, through the ECU properties dialog (local databases) */
    void newEcu();
    void applicationProperties(const std::string& key);
    /** the bytes of an application or a tuning in a hex view; the default tuning item: its tuning area */
    void viewBytes(const std::string& key, const std::string& text, bool defaultTuning);
    /** dummy images for the selected application or tuning */
    void createTestDataSet();
    /**
     * An XML interchange file into the database (opened, or dropped when dropped is true): the file
     * is read on another thread, so the window stays alive; the import runs when it is read.
     */
    void importXml(const std::string& path, bool dropped = false);
    /** whether a file is being read for an import */
    bool importing() const { return importing_; }

private:
    void saveAs(const std::string& key, const std::string& text, bool defaultTuning);
    void itemProperties(const std::string& key, bool clipToTuningArea);
    /** whether the window's data source is still open; else a message */
    bool connected();

    frmDatabase& window_;
    /** the folder of the last file chosen, where the next dialog opens */
    std::string lastFolder_;
    bool importing_ = false;
};

} // namespace zep
