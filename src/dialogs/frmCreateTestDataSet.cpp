#include "frmCreateTestDataSet.h"

#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "views/ControlTexts.h"
#include "views/QtText.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zep {

namespace {

QLabel* label(const char* name, const QString& caption, QWidget* parent, QWidget* buddy = nullptr) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    if (buddy != nullptr)
        l->setBuddy(buddy);
    return l;
}

QLineEdit* lineEdit(const char* name, const QString& text, bool readOnly, QWidget* parent) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setReadOnly(readOnly);
    return box;
}

} // namespace

frmCreateTestDataSet::frmCreateTestDataSet(DataSet::Target target, Interaction& ui, QWidget* parent,
                                           CreateAction create)
    : QDialog(parent), target_(std::move(target)), ui_(ui), create_(std::move(create)),
      maxSize_(DataSet::MaxSize(target_.ecu, target_.tuning)) {
    setObjectName("frmCreateTestDataSet");
    setWindowTitle(qtr("frmCreateTestDataSet/Messages/caption/text", "Data set generator"));

    auto* frame = new QGroupBox(QStringLiteral("Data set configuration"), this);
    frame->setObjectName("fraConfiguration");
    auto* txtEcuName = lineEdit("txtEcuName", qs(target_.ecu.Nom), true, frame);
    auto* txtEraseByteValue =
        lineEdit("txtEraseByteValue", qs(DataSet::EraseByteValue(target_.ecu)), true, frame);
    auto* txtMaxSize = lineEdit("txtMaxSize", QString::number(maxSize_), true, frame);
    txtLength_ = lineEdit("txtLength", QString::number(maxSize_), false, frame);
    txtByteValue_ = lineEdit("txtByteValue", QString(), false, frame);
    auto* lblTuningOrGlobal =
        label("lblTuningOrGlobal",
              target_.tuning ? qtr("frmCreateTestDataSet/Messages/tuning/text", "(tuning)")
                             : qtr("frmCreateTestDataSet/Messages/global/text", "(global)"),
              frame);

    auto* fields = new QGridLayout(frame);
    fields->addWidget(label("lblEcuName", QStringLiteral("ECU name"), frame, txtEcuName), 0, 0);
    fields->addWidget(txtEcuName, 0, 1);
    fields->addWidget(lblTuningOrGlobal, 0, 2);
    fields->addWidget(
        label("lblEraseByteValue", QStringLiteral("Erase byte value"), frame, txtEraseByteValue), 1, 0);
    fields->addWidget(txtEraseByteValue, 1, 1);
    fields->addWidget(label("lblMaxSize", QStringLiteral("Max size"), frame, txtMaxSize), 2, 0);
    fields->addWidget(txtMaxSize, 2, 1);
    fields->addWidget(label("lblMaxSizeUnit", QStringLiteral("bytes"), frame), 2, 2);
    fields->addWidget(label("lblLength", QStringLiteral("&Size"), frame, txtLength_), 3, 0);
    fields->addWidget(txtLength_, 3, 1);
    fields->addWidget(label("lblLengthUnit", QStringLiteral("bytes"), frame), 3, 2);
    fields->addWidget(label("lblByteValue", QStringLiteral("&Byte value"), frame, txtByteValue_), 4, 0);
    fields->addWidget(txtByteValue_, 4, 1);
    fields->setColumnStretch(1, 1);

    auto* lblWarning =
        label("lblWarning",
              QStringLiteral("WARNING! This utility creates a DUMMY tuning or software data set, "
                             "for reprogramming tool performance testing ONLY."),
              this);
    lblWarning->setWordWrap(true);
    QFont bold = lblWarning->font();
    bold.setBold(true);
    lblWarning->setFont(bold);

    auto* cmdCreate = new QPushButton(QStringLiteral("&Create data set"), this);
    cmdCreate->setObjectName("cmdCreate");
    cmdCreate->setDefault(true);
    auto* cmdCancel = new QPushButton(QStringLiteral("C&ancel"), this);
    cmdCancel->setObjectName("cmdCancel");
    connect(cmdCreate, &QPushButton::clicked, this, &frmCreateTestDataSet::create);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCreateTestDataSet::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCreate);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblWarning);
    layout->addWidget(frame);
    layout->addStretch();
    layout->addLayout(buttons);

    applyControlTexts(*this, "frmCreateTestDataSet/Controls");
    txtLength_->setFocus();
    txtLength_->selectAll();
    resize(440, sizeHint().height());
}

void frmCreateTestDataSet::create() {
    input_.reset();
    const DataSet::Input input =
        DataSet::CheckInput(ss(txtLength_->text()), maxSize_, ss(txtByteValue_->text()));
    if (!input.ok()) {
        ui_.warn(input.error);
        QLineEdit* field = input.field == DataSet::Field::Length ? txtLength_ : txtByteValue_;
        field->setFocus();
        field->selectAll();
        return;
    }
    if (create_) {
        try {
            create_(input);
        } catch (const ZepError& error) {
            ui_.warn(zep::tr("frmCreateTestDataSet/Messages/error/text", "Error: {0}{crlf}{1}",
                             error.number(), error.description()));
            return;
        } catch (const std::exception& error) {
            // not one of ours (out of memory): still shown, not let through the event loop
            ui_.warn(
                zep::tr("frmCreateTestDataSet/Messages/error/text", "Error: {0}{crlf}{1}", 0, error.what()));
            return;
        }
        ui_.inform(zep::tr("frmCreateTestDataSet/Messages/done/text", "Done!"));
    }
    input_ = input;
    accept();
}

std::optional<DataSet::Input> frmCreateTestDataSet::ask(const DataSet::Target& target, Interaction& ui,
                                                        QWidget* parent) {
    frmCreateTestDataSet dialog(target, ui, parent);
    dialog.exec();
    return dialog.input();
}

} // namespace zep
