#include "DatabaseChooser.h"

#include "NamedControls.h"

#include "database/Connection.h"
#include "database/ConnectionString.h"
#include "views/QtText.h"
#include "views/WaitCursor.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zep {

DatabaseChooser::DatabaseChooser(const std::string& current, QWidget* parent)
    : QDialog(parent), optFile_(new QRadioButton(
                           qtr("DatabaseChooser/Controls/optFile/caption", "SQLite database &file"), this)),
      optServer_(
          new QRadioButton(qtr("DatabaseChooser/Controls/optServer/caption", "&PostgreSQL server"), this)),
      fraFile_(new QWidget(this)), fraServer_(new QWidget(this)),
      txtFile_(namedLineEdit("txtFile", fraFile_)), txtHost_(namedLineEdit("txtHost", fraServer_)),
      txtPort_(new QSpinBox(fraServer_)), txtDatabase_(namedLineEdit("txtDatabase", fraServer_)),
      txtUser_(namedLineEdit("txtUser", fraServer_)), txtPassword_(namedLineEdit("txtPassword", fraServer_)),
      txtSchema_(namedLineEdit("txtSchema", fraServer_)), lblTestResult_(new QLabel(this)),
      okButton_(new QPushButton(qtr("DatabaseChooser/Controls/OKButton/caption", "OK"), this)),
      testButton_(
          new QPushButton(qtr("DatabaseChooser/Controls/cmdTest/caption", "&Test connection"), this)) {
    setObjectName("DatabaseChooser");
    setWindowTitle(qtr("DatabaseChooser/Messages/caption/text", "Open Database"));
    optFile_->setObjectName("optFile");
    optServer_->setObjectName("optServer");
    fraFile_->setObjectName("fraFile");
    fraServer_->setObjectName("fraServer");
    txtPort_->setObjectName("txtPort");
    lblTestResult_->setObjectName("lblTestResult");
    okButton_->setObjectName("OKButton");
    testButton_->setObjectName("cmdTest");

    txtPort_->setRange(1, 65535);
    txtPort_->setValue(ConnectionString::DefaultPort);
    txtHost_->setText(QStringLiteral("localhost"));
    txtPassword_->setEchoMode(QLineEdit::Password);
    lblTestResult_->setWordWrap(true);
    lblTestResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* cmdBrowse =
        new QPushButton(qtr("DatabaseChooser/Controls/cmdBrowse/caption", "&Browse..."), fraFile_);
    cmdBrowse->setObjectName("cmdBrowse");
    connect(cmdBrowse, &QPushButton::clicked, this, &DatabaseChooser::browse);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(txtFile_, 1);
    fileRow->addWidget(cmdBrowse);
    auto* fileForm = new QFormLayout(fraFile_);
    fileForm->setContentsMargins(20, 0, 0, 0);
    fileForm->addRow(qtr("DatabaseChooser/Controls/lblFile/caption", "File:"), fileRow);

    auto* serverForm = new QFormLayout(fraServer_);
    serverForm->setContentsMargins(20, 0, 0, 0);
    auto* hostRow = new QHBoxLayout;
    hostRow->addWidget(txtHost_, 1);
    hostRow->addWidget(new QLabel(qtr("DatabaseChooser/Controls/lblPort/caption", "Port:"), fraServer_));
    hostRow->addWidget(txtPort_);
    serverForm->addRow(qtr("DatabaseChooser/Controls/lblHost/caption", "Host:"), hostRow);
    serverForm->addRow(qtr("DatabaseChooser/Controls/lblDatabase/caption", "Database:"), txtDatabase_);
    serverForm->addRow(qtr("DatabaseChooser/Controls/lblUser/caption", "User:"), txtUser_);
    serverForm->addRow(qtr("DatabaseChooser/Controls/lblPassword/caption", "Password:"), txtPassword_);
    serverForm->addRow(qtr("DatabaseChooser/Controls/lblSchema/caption", "Schema (optional):"), txtSchema_);

    auto* buttons = new QDialogButtonBox(this);
    okButton_->setDefault(true);
    buttons->addButton(okButton_, QDialogButtonBox::AcceptRole);
    auto* cancel = buttons->addButton(qtr("DatabaseChooser/Controls/CancelButton/caption", "Cancel"),
                                      QDialogButtonBox::RejectRole);
    cancel->setObjectName("CancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &DatabaseChooser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DatabaseChooser::reject);
    connect(testButton_, &QPushButton::clicked, this, &DatabaseChooser::testConnection);

    auto* testRow = new QHBoxLayout;
    testRow->addWidget(testButton_, 0, Qt::AlignTop);
    testRow->addWidget(lblTestResult_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(optFile_);
    layout->addWidget(fraFile_);
    layout->addSpacing(6);
    layout->addWidget(optServer_);
    layout->addWidget(fraServer_);
    layout->addSpacing(6);
    layout->addLayout(testRow);
    layout->addStretch();
    layout->addWidget(buttons);

    optFile_->setChecked(true);
    try {
        const ConnectionString given = ConnectionString::parse(current);
        if (given.isCentral()) {
            optServer_->setChecked(true);
            txtHost_->setText(qs(given.host()));
            txtPort_->setValue(given.port());
            txtDatabase_->setText(qs(given.database()));
            txtUser_->setText(qs(given.user()));
            txtPassword_->setText(qs(given.password()));
            txtSchema_->setText(qs(given.searchPath()));
        } else if (given.engine() == DatabaseEngine::SQLite) {
            txtFile_->setText(qs(given.path()));
        }
    } catch (const ZepError&) {
        // an unreadable string leaves the inputs empty
    }

    for (QRadioButton* option : {optFile_, optServer_})
        connect(option, &QRadioButton::toggled, this, &DatabaseChooser::updateState);
    for (QLineEdit* box : {txtFile_, txtHost_, txtDatabase_, txtUser_, txtPassword_, txtSchema_})
        connect(box, &QLineEdit::textChanged, this, &DatabaseChooser::updateState);
    connect(txtPort_, &QSpinBox::valueChanged, this, &DatabaseChooser::updateState);
    updateState();
    resize(480, sizeHint().height());
}

std::string DatabaseChooser::connectionString() const {
    if (optFile_->isChecked()) {
        const QString path = txtFile_->text().trimmed();
        return path.isEmpty() ? std::string() : ConnectionString::forFile(ss(path));
    }
    const QString host = txtHost_->text().trimmed();
    const QString database = txtDatabase_->text().trimmed();
    if (host.isEmpty() || database.isEmpty())
        return {};
    return ConnectionString::forServer(ss(host), txtPort_->value(), ss(database),
                                       ss(txtUser_->text().trimmed()), ss(txtPassword_->text()),
                                       ss(txtSchema_->text().trimmed()));
}

void DatabaseChooser::updateState() {
    fraFile_->setEnabled(optFile_->isChecked());
    fraServer_->setEnabled(optServer_->isChecked());
    const bool complete = !connectionString().empty();
    okButton_->setEnabled(complete);
    testButton_->setEnabled(complete);
    lblTestResult_->clear(); // it told about other inputs
}

bool DatabaseChooser::testConnection() {
    const std::string text = connectionString();
    if (text.empty())
        return false;
    bool success = false;
    QString result;
    try {
        WaitCursor wait;
        // Only looks: a file of an older schema is not upgraded by testing it.
        const auto connection = Connection::probe(text);
        success = true;
        result = connection->isZepDatabase()
                     ? qtr("DatabaseChooser/Messages/success/text", "Connection succeeded.")
                     : qtr("DatabaseChooser/Messages/notZep/text",
                           "Connection succeeded, but this database holds no ZEP tables.");
    } catch (const std::exception& error) {
        // Descriptions of connection errors hold no password; the typed one is blotted out all the same.
        result = qtr("DatabaseChooser/Messages/failure/text", "Connection failed: {0}",
                     withoutSecret(error.what(), ss(txtPassword_->text())));
    }
    lblTestResult_->setText(result);
    return success;
}

QString DatabaseChooser::testResult() const {
    return lblTestResult_->text();
}

void DatabaseChooser::browse() {
    const QString start = QFileInfo(txtFile_->text().trimmed()).absolutePath();
    const QString path = QFileDialog::getOpenFileName(
        this, qtr("DatabaseChooser/Messages/browse/text", "Database file"), start,
        dialogFilter(zep::tr("DatabaseChooser/Messages/fileFilter/text",
                             "Database file (*.zdb *.sqlite *.db)|*.zdb;*.sqlite;*.db|All files (*.*)|*.*")));
    if (!path.isEmpty()) {
        txtFile_->setText(path);
        optFile_->setChecked(true);
    }
}

std::optional<std::string> DatabaseChooser::ask(const std::string& current, QWidget* parent) {
    DatabaseChooser dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.connectionString();
}

} // namespace zep
