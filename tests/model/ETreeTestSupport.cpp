#include "tests/model/ETreeTestSupport.h"

#include "platform/Utf.h"

namespace talvoren::test {

TRecorder::TRecorder(TETree& tree)
    : fTree(tree)
{
    fTree.AddObserver(this);
}

TRecorder::~TRecorder()
{
    fTree.RemoveObserver(this);
}

std::string TRecorder::Name(const TENode* node) const
{
    if (!node) {
        return "top";
    }
    if (node->IsVariable()) {
        return platform::toUtf8(fTree.GetVariableName(node));
    }
    return platform::toUtf8(fTree.GetVariableName(node)) + "/" + platform::toUtf8(fTree.GetElement(node));
}

namespace {
std::string range(size_t first, size_t last)
{
    return std::to_string(first) + ".." + std::to_string(last);
}
} // namespace

void TRecorder::BeforeInsert(TENode* parent, size_t first, size_t last)
{
    log.push_back("before insert " + range(first, last) + " in " + Name(parent));
}

void TRecorder::AfterInsert(TENode* parent, size_t first, size_t last)
{
    log.push_back("insert " + range(first, last) + " in " + Name(parent));
}

void TRecorder::BeforeRemove(TENode* parent, size_t first, size_t last)
{
    log.push_back("before remove " + range(first, last) + " in " + Name(parent));
}

void TRecorder::AfterRemove(TENode* parent, size_t first, size_t last)
{
    log.push_back("remove " + range(first, last) + " in " + Name(parent));
}

void TRecorder::BeforeMove(TENode* srcParent, size_t srcRow, TENode* dstParent, size_t dstRow)
{
    log.push_back("move " + Name(srcParent) + ":" + std::to_string(srcRow) + " to " + Name(dstParent) + ":"
                  + std::to_string(dstRow));
}

void TRecorder::NodeChanged(TENode* node)
{
    log.push_back("changed " + Name(node));
}

void TRecorder::FlagsChanged(TENode* node)
{
    log.push_back("flags " + Name(node));
}

void TRecorder::VisibilityChanged(TENode* node)
{
    log.push_back(std::string(node->IsHidden() ? "hidden " : "shown ") + Name(node));
}

void TRecorder::ExpansionChanged(TENode* node)
{
    log.push_back(std::string(node->IsExpanded() ? "expanded " : "collapsed ") + Name(node));
}

void TRecorder::BeforeReset()
{
    log.push_back("before reset");
}

void TRecorder::AfterReset()
{
    log.push_back("reset");
}

void TRecorder::FocusChanged(TENode* focused)
{
    log.push_back("focus " + (focused ? Name(focused) : std::string("none")));
}

void TRecorder::SelectionChanged()
{
    log.push_back("selection");
}

std::vector<std::u16string> Names(const TETree& tree)
{
    std::vector<std::u16string> names;
    for (auto* variable : tree.Variables()) {
        names.push_back(tree.GetVariableName(variable));
    }
    return names;
}

std::vector<std::u16string> Elements(const TETree& tree, const std::u16string& name)
{
    std::vector<std::u16string> texts;
    if (const TENode* variable = tree.FindVariable(name)) {
        for (size_t i = 0; i < variable->ChildCount(); ++i) {
            texts.push_back(tree.GetElement(variable->Child(i)));
        }
    }
    return texts;
}

} // namespace talvoren::test
