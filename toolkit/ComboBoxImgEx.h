#pragma once
// A drop-down list whose items carry 16 x 16 pictures from an image list it owns.
#include <QComboBox>
#include <QIcon>
#include <vector>

#include "platform/win32/Win32Types.h"

class CComboBoxImgEx : public QComboBox {
public:
    explicit CComboBoxImgEx(QWidget* parent = nullptr);

    using ImageList = std::vector<QIcon>;
    // Creates the image list and attaches it; returns the previous one (null the first time).
    virtual const ImageList* InitImageList();
    // Adds a picture; returns its index, or -1 before InitImageList.
    int AddImage(const QIcon& icon);
    // Inserts an item showing picture image (selected: selectedImage); returns its index.
    int InsertItem(int index, const std::wstring& text, int image, int selectedImage, int overlay, int indent);
    int GetItemImage(int index) const;

private:
    void ShowSelectedImage();

    ImageList m_imageList;
    bool m_bHasList = false;
};
