#pragma once

#include <QString>

namespace zep {

class frmDatabase;

/** The commands of the Tools and ? menus: compaction, KWP to text, calculator, information, about. */
namespace ToolCommands {

/** the information report; caption is the information menu entry's caption */
QString informationReport(const frmDatabase& window, const QString& caption);
void showInformation(frmDatabase& window);
void showAbout(frmDatabase& window);
/** the first calculator program found, started detached; nothing happens when there is none */
void startCalculator();
void compactDatabase(frmDatabase& window);
void kwpToText(frmDatabase& window);

/** "Linux " + kernel release + " - " + the distribution's pretty name */
QString operatingSystemText();

} // namespace ToolCommands
} // namespace zep
