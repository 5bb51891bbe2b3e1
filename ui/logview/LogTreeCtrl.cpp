#include "ui/logview/LogTreeCtrl.h"

#include "res/resource.h"

namespace glimmerfen::ui {

namespace {

// Restores a flag when it goes out of scope.
class QuietScope {
public:
    explicit QuietScope(bool& flag) noexcept : flag_(flag), old_(flag) { flag_ = true; }
    ~QuietScope() { flag_ = old_; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

} // namespace

void CLogTreeCtrl::Detach() noexcept {
    hwnd_ = nullptr;
    nodes_.clear();
    ForgetSelection();
}

void CLogTreeCtrl::ForgetSelection() noexcept {
    selectedItem_ = nullptr;
    selection_ = {};
}

void CLogTreeCtrl::DeleteAllItems() {
    if (hwnd_ == nullptr) {
        return;
    }
    {
        const QuietScope quiet(quiet_);
        TreeView_DeleteAllItems(hwnd_);
    }
    nodes_.clear();
    selectedItem_ = nullptr;
}

HTREEITEM CLogTreeCtrl::Insert(HTREEITEM parent, std::size_t parentNode, const std::string& text, int image) {
    if (hwnd_ == nullptr) {
        return nullptr;
    }
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = static_cast<LPARAM>(nodes_.size());
    if (parentNode == kNoParent) {
        // A date shows its button before its users are inserted.
        insert.item.mask |= TVIF_CHILDREN;
        insert.item.cChildren = 1;
    }
    nodes_.push_back({text, parentNode, false});
    const QuietScope quiet(quiet_);
    auto item =
        reinterpret_cast<HTREEITEM>(::SendMessageA(hwnd_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    if (item == nullptr) {
        nodes_.pop_back();
    }
    return item;
}

const CLogTreeCtrl::Node* CLogTreeCtrl::NodeOf(HTREEITEM handle) const {
    TVITEMA item{};
    item.mask = TVIF_PARAM;
    item.hItem = handle;
    if (hwnd_ == nullptr || handle == nullptr || !TreeView_GetItem(hwnd_, &item) ||
        static_cast<std::size_t>(item.lParam) >= nodes_.size()) {
        return nullptr;
    }
    return &nodes_[static_cast<std::size_t>(item.lParam)];
}

CLogTreeCtrl::Node* CLogTreeCtrl::NodeOf(HTREEITEM handle) {
    return const_cast<Node*>(static_cast<const CLogTreeCtrl*>(this)->NodeOf(handle));
}

HTREEITEM CLogTreeCtrl::InsertDate(const std::string& date) {
    return Insert(TVI_ROOT, kNoParent, date, kDateImage);
}

void CLogTreeCtrl::EnsureUsers(HTREEITEM date) {
    Node* node = NodeOf(date);
    if (node == nullptr || node->parent != kNoParent || node->usersInserted) {
        return;
    }
    node->usersInserted = true;
    const std::size_t dateNode = static_cast<std::size_t>(node - nodes_.data());
    const std::vector<std::string> users = usersOf_ ? usersOf_(node->text) : std::vector<std::string>{};
    for (const std::string& user : users) {
        Insert(date, dateNode, user, kUserImage);
    }
}

void CLogTreeCtrl::Expand(HTREEITEM item) {
    if (hwnd_ != nullptr && item != nullptr) {
        EnsureUsers(item);
        TreeView_Expand(hwnd_, item, TVE_EXPAND);
    }
}

void CLogTreeCtrl::OnItemExpanding(const NMTREEVIEWA& change) {
    if ((change.action & TVE_EXPAND) != 0) {
        EnsureUsers(change.itemNew.hItem);
    }
}

void CLogTreeCtrl::DeleteWithEmptyParent(HTREEITEM item) {
    if (hwnd_ == nullptr || item == nullptr) {
        return;
    }
    HTREEITEM parent = TreeView_GetParent(hwnd_, item);
    TreeView_DeleteItem(hwnd_, item);
    if (parent != nullptr && TreeView_GetChild(hwnd_, parent) == nullptr) {
        TreeView_DeleteItem(hwnd_, parent);
    }
}

LogSelection CLogTreeCtrl::SelectionOf(HTREEITEM handle) const {
    const Node* node = NodeOf(handle);
    if (node == nullptr) {
        return {};
    }
    if (node->parent == kNoParent) {
        return LogSelection::Date(node->text);
    }
    return LogSelection::User(nodes_[node->parent].text, node->text);
}

bool CLogTreeCtrl::SelectQuietly(const LogSelection& selection) {
    if (hwnd_ == nullptr || selection.kind == LogSelection::Kind::None) {
        return false;
    }
    for (HTREEITEM date = TreeView_GetRoot(hwnd_); date != nullptr; date = TreeView_GetNextSibling(hwnd_, date)) {
        if (SelectionOf(date).date != selection.date) {
            continue;
        }
        HTREEITEM target = nullptr;
        if (selection.kind == LogSelection::Kind::Date) {
            target = date;
        } else {
            EnsureUsers(date);
            for (HTREEITEM user = TreeView_GetChild(hwnd_, date); user != nullptr;
                 user = TreeView_GetNextSibling(hwnd_, user)) {
                if (SelectionOf(user).user == selection.user) {
                    target = user;
                    break;
                }
            }
        }
        if (target == nullptr) {
            return false;
        }
        {
            const QuietScope quiet(quiet_);
            TreeView_SelectItem(hwnd_, target);
        }
        selectedItem_ = target;
        return true;
    }
    return false;
}

void CLogTreeCtrl::ClearSelectionQuietly() {
    if (hwnd_ != nullptr) {
        const QuietScope quiet(quiet_);
        TreeView_SelectItem(hwnd_, nullptr);
    }
    ForgetSelection();
}

bool CLogTreeCtrl::RestoreSelection(const LogSelection& selection) {
    if (SelectQuietly(selection)) {
        selection_ = selection;
        return true;
    }
    ClearSelectionQuietly();
    return false;
}

HTREEITEM CLogTreeCtrl::CurrentItem() const {
    return hwnd_ != nullptr ? TreeView_GetSelection(hwnd_) : nullptr;
}

bool CLogTreeCtrl::OnSelChanged(const NMTREEVIEWA& change) {
    if (quiet_) {
        return true;
    }
    selectedItem_ = change.itemNew.hItem;
    selection_ = SelectionOf(selectedItem_);
    ::SendMessageA(::GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(ID_SELECT_LISTITEM, 0), 0);
    return true;
}

} // namespace glimmerfen::ui
