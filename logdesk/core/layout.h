#pragma once
// Where the dialog's controls go for a client area of a given size: the tree on the
// left, the lists beside it, and the six buttons spread evenly along the bottom.
#include <array>

struct Box {
    int x, y, width, height;
};

struct DialogLayout {
    Box tree;
    Box list;
    // Help, Refresh, Select All, Export, Clear, Exit.
    std::array<Box, 6> buttons;
};

DialogLayout ComputeLayout(int clientWidth, int clientHeight, int treeWidth, int buttonWidth,
                           int buttonHeight);
