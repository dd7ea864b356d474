#pragma once

#include <cstddef>

namespace talvoren {

class TENode;

// Fine-grained change notifications, shaped after QAbstractItemModel's
// begin/end calls so an item model can forward each one directly.
// `parent` is nullptr for the top level (the variables). Rows are indexes
// within the parent at the time of the call. Every mutation of the tree
// sends exactly the notifications below and nothing else; a Verify that
// changes no flag sends nothing.
class IETreeObserver {
public:
    virtual ~IETreeObserver() = default;

    // Rows first..last (inclusive) are about to appear / have appeared.
    virtual void BeforeInsert(TENode* parent, size_t first, size_t last) { }
    virtual void AfterInsert(TENode* parent, size_t first, size_t last) { }
    // Rows first..last are about to go / have gone (with their children).
    virtual void BeforeRemove(TENode* parent, size_t first, size_t last) { }
    virtual void AfterRemove(TENode* parent, size_t first, size_t last) { }
    // One row moves from srcParent/srcRow to dstParent, in front of what is
    // now dstRow there (Qt's beginMoveRows convention: counted before the
    // move). Variables move when a rename re-sorts them, elements when they
    // are reordered or moved to another variable.
    virtual void BeforeMove(TENode* srcParent, size_t srcRow, TENode* dstParent, size_t dstRow) { }
    virtual void AfterMove(TENode* srcParent, size_t srcRow, TENode* dstParent, size_t dstRow) { }
    // The node's text, type, image or exclusion mark changed.
    virtual void NodeChanged(TENode* node) { }
    // The node's wrongPath flag changed (font, colour, error mark, hint).
    virtual void FlagsChanged(TENode* node) { }
    // A variable was hidden or shown (the view calls setRowHidden).
    virtual void VisibilityChanged(TENode* node) { }
    // A variable was expanded or collapsed by the tree itself.
    virtual void ExpansionChanged(TENode* node) { }
    // The whole content is about to be replaced / has been replaced (load,
    // undo, redo). After it the view re-reads everything, including the
    // hidden and expanded states, focus and selection.
    virtual void BeforeReset() { }
    virtual void AfterReset() { }
    // The focused node changed (nullptr: none).
    virtual void FocusChanged(TENode* focused) { }
    // The set of selected nodes changed.
    virtual void SelectionChanged() { }
    // An in-place edit that is open is to end with commit.
    virtual void FinishEditing() { }
    // The in-place editor is to open on `node` (an add that asks for text).
    virtual void EditNode(TENode* node) { }
};

} // namespace talvoren
