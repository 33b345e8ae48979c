#include "ControlTexts.h"

#include "QtText.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>

#include <optional>

namespace zep {

namespace {

class Applier {
public:
    explicit Applier(pugi::xml_node form) : form_(form) {}

    std::optional<QString> find(const QString& path) const {
        const auto text = TextCatalog::instance().controlText(form_, ss(path));
        if (!text)
            return std::nullopt;
        return qs(*text);
    }

    void apply(QObject& object) const {
        const QString name = object.objectName();
        if (name.isEmpty())
            return;
        if (auto* action = qobject_cast<QAction*>(&object)) {
            const QVariant index = action->property("menuIndex");
            const QString path = index.isValid()
                                     ? name + "/item" + QString::number(index.toInt()) + "/caption"
                                     : name + "/caption";
            if (auto text = find(path))
                action->setText(*text);
        } else if (auto* menu = qobject_cast<QMenu*>(&object)) {
            if (auto text = find(name + "/caption"))
                menu->setTitle(*text);
        } else if (auto* toolbar = qobject_cast<QToolBar*>(&object)) {
            for (QAction* button : toolbar->actions()) {
                const QString key = button->property("key").toString();
                if (key.isEmpty())
                    continue;
                if (auto text = find(name + "/" + key + "/toolTip"))
                    button->setToolTip(*text);
                if (QMenu* buttonMenu = button->menu()) {
                    for (QAction* entry : buttonMenu->actions()) {
                        const QString entryKey = entry->property("key").toString();
                        if (entryKey.isEmpty())
                            continue;
                        if (auto text = find(name + "/" + key + "/" + entryKey + "/text"))
                            entry->setText(*text);
                    }
                }
            }
        } else if (auto* tabs = qobject_cast<QTabWidget*>(&object)) {
            for (int i = 0; i < tabs->count(); ++i) {
                const QString key = tabs->widget(i)->objectName();
                if (key.isEmpty())
                    continue;
                if (auto text = find(name + "/" + key + "/caption"))
                    tabs->setTabText(i, *text);
                if (auto text = find(name + "/" + key + "/toolTip"))
                    tabs->setTabToolTip(i, *text);
            }
        } else if (auto* columns = dynamic_cast<KeyedColumns*>(&object)) {
            const QStringList keys = columns->columnKeys();
            for (int i = 0; i < keys.size(); ++i) {
                if (keys[i].isEmpty())
                    continue;
                if (auto text = find(name + "/" + keys[i] + "/text"))
                    columns->setColumnText(i, *text);
            }
        } else if (auto* button = qobject_cast<QPushButton*>(&object)) {
            captionAndToolTip(*button, name, [button](const QString& t) { button->setText(t); });
            QFont font = button->font();
            bool fontChanged = false;
            if (auto family = find(name + "/FontName")) {
                font.setFamily(*family);
                fontChanged = true;
            }
            if (auto size = find(name + "/FontSize")) {
                bool ok = false;
                const double points = size->toDouble(&ok);
                if (ok && points > 0) {
                    font.setPointSizeF(points);
                    fontChanged = true;
                }
            }
            if (fontChanged)
                button->setFont(font);
        } else if (auto* label = qobject_cast<QLabel*>(&object)) {
            captionAndToolTip(*label, name, [label](const QString& t) { label->setText(t); });
        } else if (auto* group = qobject_cast<QGroupBox*>(&object)) {
            captionAndToolTip(*group, name, [group](const QString& t) { group->setTitle(t); });
        } else if (auto* check = qobject_cast<QAbstractButton*>(&object)) {
            captionAndToolTip(*check, name, [check](const QString& t) { check->setText(t); });
        } else if (qobject_cast<QLineEdit*>(&object) || qobject_cast<QComboBox*>(&object) ||
                   qobject_cast<QTextEdit*>(&object) || qobject_cast<QPlainTextEdit*>(&object) ||
                   qobject_cast<QAbstractSpinBox*>(&object) || qobject_cast<QAbstractItemView*>(&object)) {
            if (auto text = find(name + "/toolTip"))
                static_cast<QWidget&>(object).setToolTip(*text);
        }
    }

private:
    template <class SetCaption>
    void captionAndToolTip(QWidget& widget, const QString& name, SetCaption set) const {
        if (auto text = find(name + "/caption"))
            set(*text);
        if (auto text = find(name + "/toolTip"))
            widget.setToolTip(*text);
    }

    pugi::xml_node form_;
};

} // namespace

QString dialogFilter(const std::string& barSeparated) {
    const QStringList parts = qs(barSeparated).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        QString description = parts[i];
        // The description names its patterns already; Qt reads the patterns from the brackets.
        const int open = description.lastIndexOf('(');
        if (open >= 0)
            description = description.left(open).trimmed();
        filters << description + " (" + patterns + ")";
    }
    return filters.join(";;");
}

void applyControlTexts(QWidget& window, const std::string& formKey) {
    TextCatalog& texts = TextCatalog::instance();
    if (!texts.loaded())
        return;
    const pugi::xml_node form = texts.element(formKey);
    if (!form)
        return;
    const Applier applier(form);
    applier.apply(window);
    for (QObject* child : window.findChildren<QObject*>())
        applier.apply(*child);
}

void applyControlTextsFrom(const std::string& path, QWidget& window, const std::string& formKey) {
    TextCatalog::instance().withDocument(path, [&] { applyControlTexts(window, formKey); });
}

} // namespace zep
