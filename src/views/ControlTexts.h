#pragma once

#include <QStringList>

#include <string>

class QObject;
class QWidget;

namespace zep {

/**
 * Widgets with headers or parts that take localised texts by key (the list's columns, a grid's
 * columns). The texts are looked up as NAME/KEY/text below the form element.
 */
class KeyedColumns {
public:
    virtual ~KeyedColumns() = default;
    virtual QStringList columnKeys() const = 0;
    virtual void setColumnText(int column, const QString& text) = 0;
};

/**
 * Applies the texts of the process-wide document below /software/FORMKEY to the window's widgets,
 * found by their object names (the control names). Actions take NAME/caption, or
 * NAME/itemN/caption when they carry the property "menuIndex" (menu arrays); menus take their title
 * from NAME/caption; labels, group boxes and check boxes caption and tool tip; buttons caption, tool
 * tip, FontName and FontSize; text boxes and lists their tool tip; tab widgets each tab by the
 * object name of its page; toolbars each action that carries a "key" property (NAME/KEY/toolTip).
 * A text that is not found leaves the control as it is.
 */
void applyControlTexts(QWidget& window, const std::string& formKey);

/** the same with the texts of another file (a user configuration file); nothing when it cannot be read */
void applyControlTextsFrom(const std::string& path, QWidget& window, const std::string& formKey);

} // namespace zep
