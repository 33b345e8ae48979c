#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

/**
 * The program's own pictures: the toolbar and tree/list icons and the window icon are SVG files of
 * share/icons (drawn through Qt's SVG icon engine); the built-in list backgrounds are patterns drawn
 * in code. A QGuiApplication must exist before any of them is drawn.
 */
namespace zep::pictures {

/**
 * The icon of a toolbar button ("New", "Open", "Save", "Delete", "Up", "LargeIcons", "SmallIcons",
 * "List", "Details", "Properties", "Find") or of a tree/list item ("root", "function",
 * "function_selected", "ecu", "application", "tuning"): share/icons/KEY.svg, at any size.
 * An unknown key gives an empty icon.
 */
QIcon icon(const QString& key);

/** a built-in list background ("Valdore" or "Tolmak") drawn at size (512x512 when empty); null when unknown
 */
QPixmap background(const QString& key, QSize size = {});

/** the keys of the built-in backgrounds, in the order the menu shows them */
QStringList backgroundKeys();

/** the program's window icon, share/icons/zepviewer.svg */
QIcon applicationIcon();

} // namespace zep::pictures
