#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// Message boxes with the classic button and answer codes. A box given no
// title bears the application's title.
namespace MsgBox {
constexpr int vbOKOnly = 0;
constexpr int vbYesNo = 4;
constexpr int vbOK = 1;
constexpr int vbYes = 6;
constexpr int vbNo = 7;
}

class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // Shows `prompt` with `buttons` (vbOKOnly or vbYesNo) and returns the
    // answer (vbOK, vbYes or vbNo).
    int show(const QString &prompt, int buttons = MsgBox::vbOKOnly, const QString &title = QString());

protected:
    virtual int ask(const QString &prompt, int buttons, const QString &title) = 0;
};

class QtMessageBoxes : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr)
        : m_parent(parent)
    {
    }
    void setParent(QWidget *parent) { m_parent = parent; }

protected:
    int ask(const QString &prompt, int buttons, const QString &title) override;

private:
    QPointer<QWidget> m_parent;
};
