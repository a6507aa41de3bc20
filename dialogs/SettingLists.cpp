#include "dialogs/SettingLists.h"

#include <QComboBox>

void SelectByIndex(QComboBox* combo, int index) {
    if (!combo) return;
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void SelectByData(QComboBox* combo, int data) {
    if (combo) combo->setCurrentIndex(combo->findData(data));
}

int SelectedIndexOr(const QComboBox* combo, int fallback) {
    const int index = combo ? combo->currentIndex() : -1;
    return index >= 0 ? index : fallback;
}

int SelectedDataOr(const QComboBox* combo, int fallback) {
    const int index = combo ? combo->currentIndex() : -1;
    return index >= 0 ? combo->itemData(index).toInt() : fallback;
}
