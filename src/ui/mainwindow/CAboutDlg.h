#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box: program icon, name and version, and an OK button.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* kVersionText = "v6.3.0.0";

    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* nameLabel() const { return m_name; }
    QLabel* versionLabel() const { return m_version; }
    QPushButton* okButton() const { return m_ok; }

private:
    QLabel* m_name;
    QLabel* m_version;
    QPushButton* m_ok;
};
