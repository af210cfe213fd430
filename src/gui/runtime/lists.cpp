// Item lists of rings, drop-downs and combo boxes. Items carry a label and an int value; items
// given in the panel file without a value have their index as value. Changing the list never
// arrives as the operator's value-changed event.
#include <QComboBox>
#include <QSignalBlocker>

#include "gui/runtime/runtime.h"

namespace {

QComboBox *List(int panel, int control, const char *operation, int *error) {
    return static_cast<QComboBox *>(
        FindCtrlOfKind(panel, control, CtrlKind::ComboBox, operation, error));
}

bool ValidIndex(const QComboBox *combo, int index) {
    return index >= 0 && index < combo->count();
}

}  // namespace

int ItemValue(const QComboBox *combo, int index) {
    const QVariant data = combo->itemData(index);
    return data.isValid() ? data.toInt() : index;
}

int ClearListCtrl(int panel, int control) {
    int error;
    QComboBox *combo = List(panel, control, "ClearListCtrl", &error);
    if (!combo) return error;
    const QSignalBlocker blocker(combo);
    combo->clear();
    return 0;
}

int InsertListItem(int panel, int control, int index, const char *label, int value) {
    int error;
    QComboBox *combo = List(panel, control, "InsertListItem", &error);
    if (!combo) return error;
    if (index == -1) index = combo->count();
    if (index < 0 || index > combo->count()) return UIE_BAD_INDEX;
    const QSignalBlocker blocker(combo);
    combo->insertItem(index, Text(label), value);
    return 0;
}

int ReplaceListItem(int panel, int control, int index, const char *label, int value) {
    int error;
    QComboBox *combo = List(panel, control, "ReplaceListItem", &error);
    if (!combo) return error;
    if (!ValidIndex(combo, index)) return UIE_BAD_INDEX;
    const QSignalBlocker blocker(combo);
    combo->setItemText(index, Text(label));
    combo->setItemData(index, value);
    return 0;
}

int DeleteListItem(int panel, int control, int index, int count) {
    int error;
    QComboBox *combo = List(panel, control, "DeleteListItem", &error);
    if (!combo) return error;
    if (!ValidIndex(combo, index)) return UIE_BAD_INDEX;
    if (count == -1 || index + count > combo->count()) count = combo->count() - index;
    if (count < 0) return UIE_BAD_VALUE;
    const QSignalBlocker blocker(combo);
    for (int i = 0; i < count; ++i) combo->removeItem(index);
    return 0;
}

int GetNumListItems(int panel, int control, int *count) {
    int error;
    QComboBox *combo = List(panel, control, "GetNumListItems", &error);
    if (!combo) return error;
    if (!count) return UIE_BAD_VALUE;
    *count = combo->count();
    return 0;
}

int GetIndexFromValue(int panel, int control, int *index, int value) {
    int error;
    QComboBox *combo = List(panel, control, "GetIndexFromValue", &error);
    if (!combo) return error;
    if (!index) return UIE_BAD_VALUE;
    *index = -1;
    for (int i = 0; i < combo->count() && *index < 0; ++i)
        if (ItemValue(combo, i) == value) *index = i;
    return 0;
}

int GetIndexFromLabel(int panel, int control, int *index, const char *label) {
    int error;
    QComboBox *combo = List(panel, control, "GetIndexFromLabel", &error);
    if (!combo) return error;
    if (!index) return UIE_BAD_VALUE;
    *index = combo->findText(Text(label), Qt::MatchExactly);
    return 0;
}

int GetValueFromIndex(int panel, int control, int index, int *value) {
    int error;
    QComboBox *combo = List(panel, control, "GetValueFromIndex", &error);
    if (!combo) return error;
    if (!ValidIndex(combo, index)) return UIE_BAD_INDEX;
    if (!value) return UIE_BAD_VALUE;
    *value = ItemValue(combo, index);
    return 0;
}

int GetLabelFromIndex(int panel, int control, int index, char *label, std::size_t size) {
    int error;
    QComboBox *combo = List(panel, control, "GetLabelFromIndex", &error);
    if (!combo) return error;
    if (!ValidIndex(combo, index)) return UIE_BAD_INDEX;
    return CopyText(combo->itemText(index), label, size);
}
