#pragma once
// What a list that sorts itself on a header click remembers: the sorted column, the
// direction, and that column's caption without the direction mark.
#include <string>

// Marks appended to the sorted column's caption (GBK arrows): "down" while the rows
// ascend, "up" while they descend.
constexpr const char kAscendingMark[] = "\xA1\xFD";
constexpr const char kDescendingMark[] = "\xA1\xFC";

class SortState {
public:
    struct Click {
        int restoreColumn = -1;      // column whose plain caption comes back, or -1
        std::string restoreCaption;  // that caption
        std::string caption;         // the clicked column's new caption
        bool ascending = true;       // how the rows are to be ordered
    };
    struct Restore {
        int column = -1;  // column whose plain caption comes back, or -1
        std::string caption;
    };

    // A click on `column`, whose caption the list shows as `shownCaption`.
    Click OnColumnClick(int column, const std::string& shownCaption);
    // The rows are back in file order: nothing is sorted any more.
    Restore Reset();
    int SortedColumn() const { return column_; }

private:
    int column_ = -1;
    bool ascending_ = false;
    std::string plainCaption_;
};
