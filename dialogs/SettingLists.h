#pragma once
// Choosing and reading the items of a drop-down list by index or by item data,
// where a value the list does not hold leaves it without a selection.
class QComboBox;

void SelectByIndex(QComboBox* combo, int index);
void SelectByData(QComboBox* combo, int data);
// The selected index, or fallback when nothing is selected.
int SelectedIndexOr(const QComboBox* combo, int fallback);
// The item data of the selection, or fallback when nothing is selected.
int SelectedDataOr(const QComboBox* combo, int fallback);
