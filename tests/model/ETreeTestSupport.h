#pragma once

// Helpers shared by the environment-tree suites: an observer that writes
// down what it is told, and short ways to read a tree's content.

#include "model/ETree.h"

#include <string>
#include <vector>

namespace talvoren::test {

// Records each notification as a short line, e.g. "insert 0..0 in PATH".
class TRecorder : public IETreeObserver {
public:
    explicit TRecorder(TETree& tree);
    ~TRecorder() override;

    std::vector<std::string> log;

    void BeforeInsert(TENode* parent, size_t first, size_t last) override;
    void AfterInsert(TENode* parent, size_t first, size_t last) override;
    void BeforeRemove(TENode* parent, size_t first, size_t last) override;
    void AfterRemove(TENode* parent, size_t first, size_t last) override;
    void BeforeMove(TENode* srcParent, size_t srcRow, TENode* dstParent, size_t dstRow) override;
    void NodeChanged(TENode* node) override;
    void FlagsChanged(TENode* node) override;
    void VisibilityChanged(TENode* node) override;
    void ExpansionChanged(TENode* node) override;
    void BeforeReset() override;
    void AfterReset() override;
    void FocusChanged(TENode* focused) override;
    void SelectionChanged() override;

private:
    std::string Name(const TENode* node) const;
    TETree& fTree;
};

// Variable names in tree order.
std::vector<std::u16string> Names(const TETree& tree);
// Element texts of the named variable.
std::vector<std::u16string> Elements(const TETree& tree, const std::u16string& name);

} // namespace talvoren::test
