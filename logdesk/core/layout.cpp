#include "layout.h"

DialogLayout ComputeLayout(int clientWidth, int clientHeight, int treeWidth, int buttonWidth,
                           int buttonHeight) {
    DialogLayout layout;
    const int height = clientHeight - buttonHeight - 25;
    layout.tree = {10, 10, treeWidth, height};
    layout.list = {treeWidth + 10, 10, clientWidth - treeWidth - 20, height};
    const int gap = (clientWidth - 6 * buttonWidth - 20) / 7;
    for (int k = 0; k < 6; ++k) {
        layout.buttons[k] = {10 + gap + k * (buttonWidth + gap), clientHeight - buttonHeight - 10,
                             buttonWidth, buttonHeight};
    }
    return layout;
}
