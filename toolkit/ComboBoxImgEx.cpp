#include "toolkit/ComboBoxImgEx.h"

namespace {
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kSelectedImageRole = Qt::UserRole + 2;
}  // namespace

CComboBoxImgEx::CComboBoxImgEx(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::currentIndexChanged, this, [this] { ShowSelectedImage(); });
}

const CComboBoxImgEx::ImageList* CComboBoxImgEx::InitImageList() {
    const bool had = m_bHasList;
    m_imageList.clear();
    m_bHasList = true;
    setIconSize(QSize(16, 16));
    return had ? &m_imageList : nullptr;
}

int CComboBoxImgEx::AddImage(const QIcon& icon) {
    if (!m_bHasList) return -1;
    m_imageList.push_back(icon);
    return static_cast<int>(m_imageList.size()) - 1;
}

int CComboBoxImgEx::InsertItem(int index, const std::wstring& text, int image, int selectedImage, int, int) {
    if (index < 0 || index > count()) index = count();
    const bool valid = image >= 0 && image < static_cast<int>(m_imageList.size());
    insertItem(index, valid ? m_imageList[image] : QIcon(), QString::fromStdWString(text));
    setItemData(index, image, kImageRole);
    setItemData(index, selectedImage, kSelectedImageRole);
    ShowSelectedImage();
    return index;
}

int CComboBoxImgEx::GetItemImage(int index) const {
    const QVariant v = itemData(index, kImageRole);
    return v.isValid() ? v.toInt() : -1;
}

void CComboBoxImgEx::ShowSelectedImage() {
    // Every item shows its own picture; the current one shows its selected picture.
    for (int i = 0; i < count(); ++i) {
        const int image = (i == currentIndex() ? itemData(i, kSelectedImageRole) : itemData(i, kImageRole)).toInt();
        if (image >= 0 && image < static_cast<int>(m_imageList.size())) setItemIcon(i, m_imageList[image]);
    }
}
