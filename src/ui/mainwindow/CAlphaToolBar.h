#pragma once

#include <QHash>
#include <QKeySequence>
#include <QSize>
#include <QToolBar>

#include <vector>

class CAlphaImageList;
class QAction;
class QToolButton;

// A toolbar of text-under-icon buttons addressed by command id. Texts and tooltips are string-
// table keys; the tooltip is looked up again each time it is shown. Icons come from a
// CAlphaImageList (normal, hot and disabled pictures).
class CAlphaToolBar : public QToolBar
{
    Q_OBJECT

public:
    enum class Style
    {
        Button,
        Check,
        Separator
    };
    struct Button
    {
        int command = 0; // 0 for a separator
        Style style = Style::Button;
        int image = -1;
        const char* key = nullptr; // text and tooltip
        bool enabled = true;
        // The key sequence, as Qt's portable text, that runs the command from anywhere in the
        // window (null: none). Tooltips name it.
        const char* shortcutKey = nullptr;
    };

    explicit CAlphaToolBar(QWidget* parent = nullptr);

    // Replaces every position with the given buttons and separators.
    void SetButtons(const std::vector<Button>& buttons);
    void SetSizes(const QSize& button, const QSize& image);
    void SetImageList(const CAlphaImageList* images);

    QAction* action(int command) const { return m_actions.value(command); }
    QToolButton* button(int command) const;
    QList<int> commands() const { return m_order; }
    int positionCount() const { return int(m_buttons.size()); }
    // The button's string-table key (empty for an unknown command).
    QString key(int command) const;

    bool isCommandEnabled(int command) const;
    void setCommandEnabled(int command, bool enabled);
    bool isCommandChecked(int command) const;
    void setCommandChecked(int command, bool checked);
    // The command's keyboard shortcut (empty when it has none).
    QKeySequence shortcut(int command) const;
    // A text as a tooltip shows it: "Stop Ring (F2)" when the command has a shortcut.
    QString WithShortcut(int command, const QString& text) const;
    // A tooltip key of its own for the button (a state it is in); empty: its text again.
    void setCommandToolTipKey(int command, const QString& key);
    QString toolTipKey(int command) const;

Q_SIGNALS:
    // A button was pressed; a check button has already changed its state.
    void commandTriggered(int command);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplySizes();
    void FitTextFont(QWidget& tool, const QString& text) const;
    void ApplyImages();

    std::vector<Button> m_buttons;
    QHash<int, QAction*> m_actions;
    QHash<int, QString> m_toolTipKeys;
    QList<int> m_order;
    const CAlphaImageList* m_images = nullptr;
    QSize m_buttonSize{68, 60};
    QSize m_imageSize{32, 32};
};
