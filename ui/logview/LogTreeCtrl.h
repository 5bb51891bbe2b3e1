// The log viewer's tree of dates and, under each, the users that have lines on that date. It records
// the item that the tree last reported as selected, with the texts it stands for, and tells its window
// of every selection change with the command ID_SELECT_LISTITEM. A date's users are inserted when the
// date is first expanded or one of them is selected: a log of a year has tens of thousands of them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "monitor/log/LoadedLog.h"

namespace glimmerfen::ui {

class CLogTreeCtrl {
public:
    // Picture indices in the tree's image list.
    static constexpr int kUserImage = 0;
    static constexpr int kDateImage = 1;

    CLogTreeCtrl() noexcept = default;
    CLogTreeCtrl(const CLogTreeCtrl&) = delete;
    CLogTreeCtrl& operator=(const CLogTreeCtrl&) = delete;

    void Attach(HWND tree) noexcept { hwnd_ = tree; }
    void Detach() noexcept;
    HWND Hwnd() const noexcept { return hwnd_; }

    // Removes every item. The record stays: it still names the texts that were selected, so that the
    // same lines can be listed after a rebuild.
    void DeleteAllItems();
    // The user names of a date, in the order the tree shows them; asked once per date and rebuild.
    using UsersOf = std::function<std::vector<std::string>(const std::string& date)>;
    void SetUsersOf(UsersOf usersOf) { usersOf_ = std::move(usersOf); }

    // Appends a date at the top level, shown with a button; its users come when it is first expanded.
    HTREEITEM InsertDate(const std::string& date);
    // Inserts the users of a date that has none yet.
    void EnsureUsers(HTREEITEM date);
    void Expand(HTREEITEM item);
    // TVN_ITEMEXPANDING: the users of a date before it opens.
    void OnItemExpanding(const NMTREEVIEWA& change);
    // Deletes an item (a date with its users); a date left without users goes too.
    void DeleteWithEmptyParent(HTREEITEM item);
    // Selects the item for a record made before a rebuild, without telling the window; false when the
    // tree no longer has such an item.
    bool SelectQuietly(const LogSelection& selection);
    // Takes the selection away without telling the window, and forgets it.
    void ClearSelectionQuietly();
    // Selects the item for a record and records it, without telling the window; when the tree has no
    // such item, nothing is selected. Returns whether it was found.
    bool RestoreSelection(const LogSelection& selection);

    // TVN_SELCHANGED from the tree: records the new item and its texts, then sends ID_SELECT_LISTITEM
    // to the parent window. Returns true (handled).
    bool OnSelChanged(const NMTREEVIEWA& change);

    // The item last reported as selected (null when none) and what it stands for.
    HTREEITEM SelectedItem() const noexcept { return selectedItem_; }
    const LogSelection& Selection() const noexcept { return selection_; }
    // The tree's own current selection.
    HTREEITEM CurrentItem() const;
    void ForgetSelection() noexcept;

private:
    struct Node {
        std::string text;
        std::size_t parent; // kNoParent for a date
        bool usersInserted = false;
    };
    static constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);

    HTREEITEM Insert(HTREEITEM parent, std::size_t parentNode, const std::string& text, int image);
    // The node of an item; nullptr for an item of no node.
    Node* NodeOf(HTREEITEM item);
    const Node* NodeOf(HTREEITEM item) const;
    LogSelection SelectionOf(HTREEITEM item) const;

    HWND hwnd_ = nullptr;
    UsersOf usersOf_;
    // One node per inserted item, found through the item's lParam; kept until the next rebuild.
    std::vector<Node> nodes_;
    HTREEITEM selectedItem_ = nullptr;
    LogSelection selection_;
    // Set while the tree is changed on the window's own account (a rebuild): the tree's reports
    // then change nothing.
    bool quiet_ = false;
};

} // namespace glimmerfen::ui
