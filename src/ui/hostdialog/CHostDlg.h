#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// The modal dialog in which the operator enters one host's connection settings. The caller
// fills the fields, runs it, and on OK reads them back; the dialog stores nothing itself.
class CHostDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMinPort = 1;
    static constexpr int kMaxPort = 65535;

    explicit CHostDlg(QWidget* parent = nullptr);

    // Fields, set before the dialog runs and valid after OK.
    QString m_title;
    QString m_hostName;
    QString m_address;
    int m_port = 9987;
    QString m_userName;
    QString m_password;

    // Field exchange: saveAndValidate false fills the boxes from the fields, true reads them
    // back. Returns false when the port is not an integer in 1..65535 (after showing why).
    bool UpdateData(bool saveAndValidate);

    QLineEdit* hostNameEdit() const { return m_hostNameEdit; }
    QLineEdit* addressEdit() const { return m_addressEdit; }
    QLineEdit* portEdit() const { return m_portEdit; }
    QLineEdit* userNameEdit() const { return m_userNameEdit; }
    QLineEdit* passwordEdit() const { return m_passwordEdit; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

public Q_SLOTS:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    // Tells the operator why the port was refused (a modal message box by default).
    virtual void ShowPortMessage(const QString& text);

private:
    bool ValidatePort(const QString& text);
    void RejectPort(const QString& message);

    bool m_initialized = false;
    QLabel* m_labels[5];
    QLineEdit* m_hostNameEdit;
    QLineEdit* m_addressEdit;
    QLineEdit* m_portEdit;
    QLineEdit* m_userNameEdit;
    QLineEdit* m_passwordEdit;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
