#include "ui/MessageForm.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace talvoren {

namespace {
constexpr int kClientWidth = 340;
constexpr int kClientHeight = 130;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kMargin = 8;
constexpr int kTextWidth = 258;
constexpr int kTextHeight = 69;
// How far a text that does not fit the designed area may widen the dialog.
constexpr int kMaxTextWidth = 560;
// Word wrap breaks only at blanks; a path or a list of paths would run out
// of the label. Invisible break chances after separators, and within long
// runs, let it wrap there too.
QString Breakable(const QString& text)
{
    constexpr int kLongestRun = 40;
    QString shown;
    shown.reserve(text.size() + text.size() / 8);
    int run = 0;
    for (const QChar c : text) {
        shown += c;
        if (c.isSpace()) {
            run = 0;
            continue;
        }
        if (c == u';' || c == u'\\' || c == u'/' || c == u',' || ++run >= kLongestRun) {
            shown += QChar(0x200B); // zero-width space
            run = 0;
        }
    }
    return shown;
}

// The letter after a caption's single '&', lower case; none when it has none.
QString Mnemonic(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (caption[i + 1] != u'&') {
                return caption.mid(i + 1, 1).toLower();
            }
            ++i;
        }
    }
    return {};
}
} // namespace

int TDialogHook::takeAnswer()
{
    const int answer = fAnswers.front();
    fAnswers.pop_front();
    return answer;
}

void TDialogHook::reset()
{
    fAnswers.clear();
    fAsked.clear();
}

TMessageForm::TMessageForm(QWidget* parent)
    : QDialog(parent ? parent : QApplication::activeWindow())
{
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    fFrame = new QGroupBox(this);
    lblImage = new QLabel(fFrame);
    lblImage->setAlignment(Qt::AlignCenter);
    lblText = new QLabel(fFrame);
    lblText->setObjectName(QStringLiteral("lblText"));
    lblText->setAlignment(Qt::AlignCenter);
    lblText->setWordWrap(true);
    lblText->setTextFormat(Qt::PlainText);
    layOut(kTextWidth, kTextHeight);
}

void TMessageForm::layOut(int textWidth, int textHeight)
{
    const int width = kClientWidth + textWidth - kTextWidth;
    const int height = kClientHeight + textHeight - kTextHeight;
    setFixedSize(width, height);
    fFrame->setGeometry(kMargin, 4, width - 2 * kMargin, textHeight + 20);
    lblImage->setGeometry(4, 12, 46, kTextHeight);
    lblText->setGeometry(54, 12, textWidth, textHeight);
    // The row is right-aligned: lay the buttons out from the right.
    int x = width - kMargin - kButtonWidth;
    for (auto it = fButtons.rbegin(); it != fButtons.rend(); ++it) {
        it->first->setGeometry(x, height - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);
        x -= kButtonWidth + 6;
    }
}

void TMessageForm::fitText()
{
    // A text that the designed area would cut (the values of a save
    // conflict, a list of errors) widens the dialog, then makes it taller,
    // so that all of it can be read.
    int width = kTextWidth;
    int height = lblText->heightForWidth(width);
    while (height > kTextHeight && width < kMaxTextWidth) {
        width = std::min(kMaxTextWidth, width + 60);
        height = lblText->heightForWidth(width);
    }
    height = std::max(height, kTextHeight);
    const QScreen* shown = screen();
    const int maxHeight = shown ? shown->availableGeometry().height() * 2 / 3 : 600;
    layOut(width, std::min(height, std::max(kTextHeight, maxHeight)));
}

QString TMessageForm::text() const
{
    return fText;
}

QPushButton* TMessageForm::button(int result) const
{
    for (const auto& [button, value] : fButtons) {
        if (value == result) {
            return button;
        }
    }
    return nullptr;
}

void TMessageForm::setText(const QString& text)
{
    fText = text;
    lblText->setText(Breakable(text));
    fitText();
}

void TMessageForm::setIcon(QStyle::StandardPixmap icon)
{
    lblImage->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(32, 32));
}

QPushButton* TMessageForm::addButton(const QString& caption, int result)
{
    auto* button = new QPushButton(caption, this);
    // The focused button is the one Enter presses, and is drawn as such.
    button->setAutoDefault(true);
    fButtons.emplace_back(button, result);
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    layOut(lblText->width(), lblText->height());
    return button;
}

int TMessageForm::showModal(TMessageForm& form, TDialogHook& hook)
{
    hook.record(form.text());
    if (hook.hasAnswer()) {
        return hook.takeAnswer();
    }
    return form.exec();
}

QPushButton* TMessageForm::buttonForLetter(const QString& letter) const
{
    const QString key = letter.toLower();
    for (const auto& [button, result] : fButtons) {
        if (Mnemonic(button->text()) == key) {
            return button;
        }
    }
    // The letters of the English buttons answer in every language.
    for (const auto& [button, result] : fButtons) {
        const char16_t english = result == mrYes ? u'y' : result == mrNo ? u'n' : result == mrCancel ? u'c' : 0;
        if (english && key == QChar(english)) {
            return button;
        }
    }
    return nullptr;
}

void TMessageForm::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) && event->text().size() == 1
        && event->text()[0].isLetter()) {
        if (QPushButton* answer = buttonForLetter(event->text())) {
            answer->click();
            return;
        }
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        done(fEscapeResult);
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        // Enter answers the focused button, else the one focused at first.
        for (const auto& [button, result] : fButtons) {
            if (button->hasFocus()) {
                button->click();
                return;
            }
        }
        if (QPushButton* first = button(fFocusResult)) {
            first->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void TMessageForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the main window (or the screen when there is none).
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area = owner ? owner->frameGeometry() : screen()->availableGeometry();
    move(area.center() - rect().center());
    if (QPushButton* focused = button(fFocusResult)) {
        focused->setFocus();
    }
    // Styles draw the focus frame only after a focus change by keyboard;
    // a dialog answered by keys shows it from the start.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void TMessageForm::reject()
{
    // The close box is no answer of its own: it gives the safe one, as Esc.
    done(fEscapeResult);
}

} // namespace talvoren
