#include "sort_state.h"

SortState::Click SortState::OnColumnClick(int column, const std::string& shownCaption) {
    Click click;
    if (column != column_) {
        if (column_ >= 0) {
            click.restoreColumn = column_;
            click.restoreCaption = plainCaption_;
        }
        plainCaption_ = shownCaption;
    }
    // A second click on the sorted column turns the order round; a click on another
    // column starts that one ascending.
    if (column == column_) {
        ascending_ = !ascending_;
    } else {
        ascending_ = true;
        column_ = column;
    }
    click.ascending = ascending_;
    click.caption = plainCaption_ + (ascending_ ? kAscendingMark : kDescendingMark);
    return click;
}

SortState::Restore SortState::Reset() {
    Restore restore;
    if (column_ >= 0) {
        restore.column = column_;
        restore.caption = plainCaption_;
    }
    column_ = -1;
    ascending_ = false;
    plainCaption_.clear();
    return restore;
}
