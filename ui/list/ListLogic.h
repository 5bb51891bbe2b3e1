// What the access list window decides without a window: the row texts and pictures, the changes that
// turn the rows shown into the rows of the table, the automatic pop-up and its three ways of closing,
// where the two lists go on a resize, and the "DialogPos" section of the INI file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/AccessTable.h"
#include "ui/framework/Dpi.h"

namespace glimmerfen {
struct AppSettings;
}

namespace glimmerfen::ui {

inline constexpr int kAccessColumnCount = 5; // client, user, start time, operation, path
inline constexpr int kDetailRowCount = 12;

// The string table ids of the access list's column headers, and of the details list's row labels.
extern const std::array<unsigned, kAccessColumnCount> kAccessColumnHeaderIds;
extern const std::array<unsigned, kDetailRowCount> kDetailLabelIds;

// The row pictures, by their index in the access list's image list.
enum class RowImage : int {
    Session = 0,
    Folder = 1,
    File = 2,
    SessionGone = 3,
    FolderGone = 4,
    FileGone = 5,
};
inline constexpr int kRowImageCount = 6;

// A path split like _splitpath does: drive ("C:"), directory up to and including its last separator
// ("\" or "/"), file name, and extension from the file name's last "." on. The bytes of a double-byte
// character of the ANSI code page are never taken for a separator or a dot.
struct PathParts {
    std::string_view drive;
    std::string_view directory;
    std::string_view fileName;
    std::string_view extension;
};
PathParts SplitPath(std::string_view path);

// An extension gives the file picture, else a directory gives the folder picture, else the computer.
// An entry not enumerated for more than a second is shown in the gone look.
RowImage ChooseRowImage(std::string_view pathName, float staleSeconds);

// One row of the access list as the user sees it, and the entry it stands for.
struct ListRow {
    std::int32_t key = -1;
    std::array<std::string, kAccessColumnCount> texts;
    RowImage image = RowImage::Session;
    bool watched = false; // an open file watched by "Notify when closed"

    bool operator==(const ListRow&) const = default;
};
ListRow MakeListRow(const AccessEntry& entry);

// The values of the details list's twelve rows for an entry, in row order.
using DetailValues = std::array<std::string, kDetailRowCount>;
DetailValues MakeDetailValues(const AccessEntry& entry);

// One change to the access list control. Rows are numbered as the list stands when the change comes,
// after every change before it.
struct RowChange {
    enum class Kind { Insert, Delete, Set };
    Kind kind = Kind::Set;
    int row = 0;
    int source = -1;       // Insert, Set: index of the row's values in the wanted rows
    unsigned cellMask = 0; // Set: bit i = text of column i; kImageBit = the picture
    static constexpr unsigned kImageBit = 1u << kAccessColumnCount;
    static constexpr unsigned kAllCells = (kImageBit << 1) - 1;
};

// The changes that turn the rows shown into the wanted rows, leaving every unchanged cell alone. Entries
// keep their order in the table (new ones come in front, old ones leave from anywhere), so a row whose
// entry is still there is kept and only rows of new or removed entries are inserted or deleted. Should
// the keys ever come in another order, the rows are compared position by position instead.
std::vector<RowChange> DiffRows(const std::vector<ListRow>& shown, const std::vector<ListRow>& wanted);

// What the details list shows at the end of a refresh or after a click.
struct DetailsUpdate {
    enum class Kind {
        Keep,  // leave the values as they are
        Clear, // every value empty
        Set,   // the values below
    };
    Kind kind = Kind::Keep;
    DetailValues values;
};

// The texts of the selected row that pick its entry: columns 0, 1 and 4.
struct SelectedRow {
    int selectionMark = -1;
    std::string clientName;
    std::string userName;
    std::string pathName;
};

// Collects the entries of one walk over the table, newest first, and decides the details: nothing
// without a table or entries, empty values without a selection, else the values of the last (oldest)
// entry whose client, user and path equal the row's, compared byte for byte; none matching keeps them.
class DetailsFinder {
public:
    DetailsFinder(bool hasTable, std::int32_t entryCount, SelectedRow selected);
    void Visit(const AccessEntry& entry);
    DetailsUpdate Result() const;

private:
    bool hasTable_;
    std::int32_t entryCount_;
    SelectedRow selected_;
    bool sawEntry_ = false;
    std::optional<DetailValues> match_;
};

// The settings that the pop-up reads, taken once per refresh.
struct PopupSettings {
    int DlgPopFlag = 0;
    int DlgPopCloseFlag = 0;
    int DlgPopTime = 0;
    int TopDlg = 0;
    int CycleTime2 = 0;
};
PopupSettings PopupSettingsFrom(const AppSettings& settings);

// What the window does after one UpdatePopup, in this order.
struct PopupActions {
    bool popUp = false; // taskbar button, top of the z-order (topmost when popUpTopmost), shown
    bool popUpTopmost = false;
    bool hideAndSave = false; // HideAndSave
    bool show = false;        // shown (a delayed close that keeps the window up)
};

// The list window's own state besides the table.
class ListWindowState {
public:
    int detailsShown = 0;  // non-zero: the details list is shown
    int previousCount = 0; // entryCount at the end of the previous refresh
    int poppedUp = 0;      // 1 while an automatic pop-up lasts
    int popupSeconds = 0;  // whole seconds counted since the pop-up (close mode 1)
    int openedByUser = 0;  // 1 when the window was shown at start-up or by the user

    // The pop-up and its closes for a refresh that found entryCount entries. The state changes that a
    // HideAndSave it asks for makes are already done.
    PopupActions UpdatePopup(int entryCount, const PopupSettings& settings);

    // Every hide of HideAndSave: the user did not open the window any more, and whatever pop-up was
    // under way is over, so the next new access pops the window up again.
    void OnHideAndSave();

    // 0 becomes 1, anything else 0.
    void ToggleDetails() { detailsShown = detailsShown == 0 ? 1 : 0; }
    // "Change details" carries its check mark only for exactly 1.
    bool DetailsChecked() const { return detailsShown == 1; }
};

// Where the two lists go for the window's outer rectangle in client coordinates (left and top are
// negative by the frame and the caption).
struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Box&) const = default;
};
struct ListLayout {
    Box accessList;
    bool detailsVisible = false;
    Box detailsList;           // when visible
    int detailsValueWidth = 0; // width of the details list's value column, when visible
};
// dpi: the system's dots per inch; the distances in pixels are those of 96, scaled.
ListLayout ComputeLayout(int left, int top, int right, int bottom, int detailsShown, int dpi = kDefaultDpi);

// Section "DialogPos" of the INI file.
inline constexpr const char* kDialogPosSection = "DialogPos";
inline constexpr int kDefaultColumnWidth = 100;
struct DialogPos {
    int top = 0;
    int bottom = 0;
    int right = 0;
    int left = 0;
    int dlgSize = 0;
    std::array<int, kAccessColumnCount> columns{kDefaultColumnWidth, kDefaultColumnWidth, kDefaultColumnWidth,
                                                kDefaultColumnWidth, kDefaultColumnWidth};

    // A rectangle counts as saved when its top or its bottom is not 0.
    bool HasRect() const { return top != 0 || bottom != 0; }
    bool operator==(const DialogPos&) const = default;
};
// A window caption for the watched computer: the caption itself for this computer (an empty name),
// else the caption followed by " - \\\\" and the name.
std::string WatchedCaption(const std::string& caption, const std::string& computer);

DialogPos ReadDialogPos(const std::string& iniPath);
// "top", "bottom", "right", "left", "dlgSize", "column0" to "column4", in this order.
void WriteDialogPos(const std::string& iniPath, const DialogPos& pos);

} // namespace glimmerfen::ui
