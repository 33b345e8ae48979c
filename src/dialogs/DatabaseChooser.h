#pragma once

#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace zep {

/**
 * "Open Database": a local SQLite file or a PostgreSQL server with its database, user, password and
 * optional schema, tried with "Test connection"; the answer is a connection string.
 */
class DatabaseChooser : public QDialog {
    Q_OBJECT
public:
    /** pre-filled from the connection string current (a string that cannot be read is ignored) */
    explicit DatabaseChooser(const std::string& current = {}, QWidget* parent = nullptr);

    /** the connection string of the inputs; empty while the chosen kind lacks its file, host or database */
    std::string connectionString() const;

    /**
     * Opens the connection of the inputs, closes it again and shows the outcome below the button: success,
     * or the error's description (never the password). True on success.
     */
    bool testConnection();
    /** the outcome of the last test, as shown */
    QString testResult() const;

    /** shows the dialog modally: the connection string chosen, or nullopt when cancelled */
    static std::optional<std::string> ask(const std::string& current, QWidget* parent = nullptr);

public slots:
    void browse();

private:
    void updateState();

    QRadioButton* optFile_;
    QRadioButton* optServer_;
    QWidget* fraFile_;
    QWidget* fraServer_;
    QLineEdit* txtFile_;
    QLineEdit* txtHost_;
    QSpinBox* txtPort_;
    QLineEdit* txtDatabase_;
    QLineEdit* txtUser_;
    QLineEdit* txtPassword_;
    QLineEdit* txtSchema_;
    QLabel* lblTestResult_;
    QPushButton* okButton_;
    QPushButton* testButton_;
};

} // namespace zep
