#include "ui/FormQuestion.h"

#include "base/Translation.h"
#include "ui/UiText.h"

#include <utility>
#include <vector>

namespace talvoren {

namespace {

struct TQuestionLayout {
    const char* caption;
    QStyle::StandardPixmap icon;
    std::vector<std::pair<const char*, int>> buttons;
    int escapeResult;
};

const TQuestionLayout& layoutOf(TQuestionKind kind)
{
    static const TQuestionLayout yesNo{
        trNoop("Confirm"), QStyle::SP_MessageBoxQuestion, {{trNoop("&Yes"), mrYes}, {trNoop("&No"), mrNo}}, mrNo};
    static const TQuestionLayout yesNoCancel{
        trNoop("Warning"),
        QStyle::SP_MessageBoxWarning,
        {{trNoop("&Yes"), mrYes}, {trNoop("&No"), mrNo}, {trNoop("Cancel"), mrCancel}},
        mrCancel};
    return kind == TQuestionKind::YesNo ? yesNo : yesNoCancel;
}

} // namespace

TQuestionForm::TQuestionForm(TQuestionKind kind, QWidget* parent)
    : TMessageForm(parent)
{
    const TQuestionLayout& layout = layoutOf(kind);
    setWindowTitle(qtr(layout.caption));
    setIcon(layout.icon);
    for (const auto& [caption, result] : layout.buttons) {
        addButton(qtr(caption), result);
    }
    setFocusResult(mrYes);
    setEscapeResult(layout.escapeResult);
}

int TQuestionForm::ask(TQuestionForm& form, const std::u16string& text, TDialogHook& hook)
{
    form.setText(toQ(text));
    return showModal(form, hook);
}

} // namespace talvoren
