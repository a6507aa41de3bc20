// Main menus 128 (Japanese) and 129 (English), context menus 140 and 141 and the one
// accelerator table. The menus of one pair have the same items in the same order, so
// each is built from one layout and a text per language.
#include <QKeySequence>

#include "foundation/LangString.h"
#include "platform/ui/MenuTemplate.h"
#include "resources/AppResources.h"
#include "resources/CommandIds.h"

namespace {

enum Lang { JA, EN };

struct Text {
    const wchar_t* ja;
    const wchar_t* en;
    const wchar_t* In(Lang lang) const { return lang == JA ? ja : en; }
};

struct CommandText {
    UINT id;
    Text text;
};

constexpr CommandText kCommands[] = {
    {ID_FILE_OPEN, {L"開く(&O)...\tCtrl+O", L"Open(&O)...\tCtrl+O"}},
    {ID_EDIT_COPY, {L"コピー(&C)\tCtrl+C", L"Copy(&C)\tCtrl+C"}},
    {ID_SAVE_IMAGE, {L"フレームを保存(&S)", L"Save Image..."}},
    {ID_FILE_MRU_FILE1, {L"最近使ったファイル", L"Recent File"}},
    {ID_APP_EXIT, {L"アプリケーションの終了(&X)", L"Exit(&X)"}},
    {ID_PLAY, {L"再生\tCtrl+P", L"Play\tCtrl+P"}},
    {ID_PAUSE, {L"一時停止\tSpace", L"Pause\tSpace"}},
    {ID_STOP, {L"停止\tCtrl+S", L"Stop\tCtrl+S"}},
    {ID_MOVE_START, {L"始端に移動(&S)", L"Move to Start"}},
    {ID_MOVE_END, {L"終端に移動(&E)", L"Move to End"}},
    {ID_PREV_FRAME, {L"前のフレームに移動\t←", L"Front Frame\t<-"}},
    {ID_NEXT_FRAME, {L"次のフレームに移動\t→", L"Next Frame\t->"}},
    {ID_OUTPUT_AVI, {L"再生時にAVIを出力(&A)", L"Output AVI , when playing"}},
    {ID_OUTPUT_WMV, {L"再生時にWMVを出力(&W)", L"Output WMV, when playing"}},
    {ID_OUTPUT_JPG, {L"再生時に連続してJPGを出力(&J)", L"Output JPG, when playing"}},
    {ID_OUTPUT_BMP, {L"再生時に連続してBMPを出力(&B)", L"Output BMP, when playing"}},
    {ID_OUTPUT_TIF, {L"再生時に連続してTIFを出力(&T)", L"Output TIF, when playing"}},
    {ID_OUTPUT_PNG, {L"再生時に連続してPNGを出力(&P)", L"Output PNG, when playing"}},
    {ID_OUTPUT_SETTINGS, {L"出力ファイルの保存設定...(&S)", L"Setting..."}},
    {ID_CLIP_RESIZE, {L"クリッピング + リサイズ...\tCtrl+R", L"Clipping + Resize...\tCtrl+R"}},
    {ID_DEINTERLACE_NO, {L"解除なし\tCtrl+0", L"No\tCtrl+0"}},
    {ID_DEINTERLACE_ODD, {L"奇数フィールド\tCtrl+1", L"Odd\tCtrl+1"}},
    {ID_DEINTERLACE_EVEN, {L"偶数フィールド\tCtrl+2", L"Even\tCtrl+2"}},
    {ID_DEINTERLACE_DOUBLING, {L"二重化\tCtrl+3", L"Doubling\tCtrl+3"}},
    {ID_RANGE_PLAY, {L"範囲指定で再生する(&H)", L"Play in Specifical range"}},
    {ID_RANGE_START,
     {L"このフレームを開始フレームに設定(&S)", L"This frame is set to the start frame"}},
    {ID_RANGE_END,
     {L"このフレームを終了フレームに設定(&E)", L"This frame is set to the end frame"}},
    {ID_RANGE_WHOLE, {L"範囲を全体に設定(&A)", L"The range is set to the whole"}},
    {ID_GOTO_RANGE_START, {L"開始フレームに移動(&B)", L"It moves to the start frame"}},
    {ID_GOTO_RANGE_END, {L"終了フレームに移動(&N)", L"It moves to the end frame"}},
    {ID_EXTRACT_VIDEO, {L"映像ストリームをコピーして抽出(&C)", L"Extract Video-Stream"}},
    {ID_EXTRACT_AUDIO, {L"音声ストリームのWAV抽出(&W)", L"Extract Audio-Stream"}},
    {ID_FILE_INFO, {L"AVI情報...\tCtrl+I", L"File Infomation...\tCtrl+I"}},
    {ID_BMP_INFO, {L"BMP情報...\tCtrl+M", L"BMP Info...\tCtrl+M"}},
    {ID_SHOW_ORIGINAL, {L"元絵の表示...\tCtrl+V", L"Display of former picture...\tCtrl+V"}},
    {ID_PRIORITY_HIGH, {L"高い", L"High"}},
    {ID_PRIORITY_NORMAL, {L"通常", L"Normal"}},
    {ID_PRIORITY_LOW, {L"低い", L"Low"}},
    {ID_PREVIEW_ALL, {L"全表示", L"All"}},
    {ID_PREVIEW_THIN, {L"間引く", L"thins"}},
    {ID_PREVIEW_NONE, {L"表示しない", L"No"}},
    {ID_ZOOM_400, {L"400%", L"400%"}},
    {ID_ZOOM_200, {L"200%", L"200%"}},
    {ID_ZOOM_150, {L"150%", L"150%"}},
    {ID_ZOOM_100, {L"100%", L"100%"}},
    {ID_ZOOM_50, {L"50%", L"50%"}},
    {ID_ZOOM_25, {L"25%", L"25%"}},
    {ID_VIEW_TOOLBAR, {L"<プレースホルダ>", L"<??????\?>"}},
    {ID_VIEW_STATUS_BAR, {L"ステータス バー(&S)", L"Status bar(&S)"}},
    {ID_VIEW_APPLOOK_WIN_2000, {L"Windows 2000(&2)", L"Windows 2000(&2)"}},
    {ID_VIEW_APPLOOK_OFF_XP, {L"Office XP(&X)", L"Office XP(&X)"}},
    {ID_VIEW_APPLOOK_WIN_XP, {L"Windows XP(&W)", L"Windows XP(&W)"}},
    {ID_VIEW_APPLOOK_OFF_2003, {L"Office 2003(&3)", L"Office 2003(&3)"}},
    {ID_VIEW_APPLOOK_VS_2005, {L"Visual Studio .NET 2005(&5)", L"Visual Studio .NET 2005(&5)"}},
    {ID_VIEW_APPLOOK_OFF_2007_BLUE, {L"ブルー スタイル(&B)", L"Blue(&B)"}},
    {ID_VIEW_APPLOOK_OFF_2007_BLACK, {L"ブラック スタイル(&L)", L"Black(&L)"}},
    {ID_VIEW_APPLOOK_OFF_2007_SILVER, {L"シルバー スタイル(&S)", L"Silver(&S)"}},
    {ID_VIEW_APPLOOK_OFF_2007_AQUA, {L"アクア スタイル(&A)", L"Aqua(&A)"}},
    {ID_HELP, {L"ヘルプ\tF1", L"Help\tF1"}},
    {ID_APP_ABOUT, {L"TALVERN のバージョン情報(&A)...", L"TALVERN Version Info(&A)..."}},
};

// The movie player's commands, whose texts are string pairs (Japanese id given).
struct TableText {
    UINT id;
    UINT jpString;
};
constexpr TableText kPlayerCommands[] = {{ID_PLAYER_TOGGLE, 50607},
                                         {ID_PLAYER_PAUSE, 50609},
                                         {ID_PLAYER_FIRST, 50611},
                                         {ID_PLAYER_LAST, 50613}};

// In the picture's context menu the Japanese save item has no mnemonic.
constexpr CommandText kContextSaveImage = {ID_SAVE_IMAGE, {L"フレームを保存", L"Save Image..."}};

const Text& TextOf(UINT id) {
    for (const CommandText& c : kCommands)
        if (c.id == id) return c.text;
    static const Text none{L"", L""};
    return none;
}

class Builder {
public:
    explicit Builder(Lang lang) : m_lang(lang) {}

    MenuItem Item(UINT id) const { return {id, TextOf(id).In(m_lang)}; }
    MenuItem Item(const CommandText& c) const { return {c.id, c.text.In(m_lang)}; }
    MenuItem Item(const TableText& t) const {
        return {t.id, LoadStringTableEntry(m_lang == JA ? t.jpString : t.jpString + 1)};
    }
    static MenuItem Separator() { return {0, L""}; }
    MenuItem Popup(Text text, std::vector<MenuItem> items) const {
        return {0, text.In(m_lang), std::move(items)};
    }
    std::vector<MenuItem> Items(std::initializer_list<UINT> ids) const {
        std::vector<MenuItem> items;
        for (UINT id : ids) items.push_back(id ? Item(id) : Separator());
        return items;
    }

    MenuItem Deinterlace() const {
        return Popup({L"インタレース解除", L"Interlace release"},
                     Items({ID_DEINTERLACE_NO, ID_DEINTERLACE_ODD, ID_DEINTERLACE_EVEN,
                            ID_DEINTERLACE_DOUBLING}));
    }
    MenuItem Preview() const {
        return Popup({L"プレビュー表示", L"Preview"},
                     Items({ID_PREVIEW_ALL, ID_PREVIEW_THIN, ID_PREVIEW_NONE}));
    }
    MenuItem Zoom() const {
        return Popup(
            {L"プレビュー倍率", L"Preview magnification"},
            Items({ID_ZOOM_400, ID_ZOOM_200, ID_ZOOM_150, ID_ZOOM_100, ID_ZOOM_50, ID_ZOOM_25}));
    }
    std::vector<MenuItem> Range() const {
        return Items({ID_RANGE_PLAY, 0, ID_RANGE_START, ID_RANGE_END, ID_RANGE_WHOLE, 0,
                      ID_GOTO_RANGE_START, ID_GOTO_RANGE_END});
    }

    MenuTemplate MainMenu(UINT id) const {
        std::vector<MenuItem> other = Items({ID_FILE_INFO, ID_BMP_INFO, ID_SHOW_ORIGINAL, 0});
        for (const TableText& t : kPlayerCommands) other.push_back(Item(t));
        other.push_back(Separator());
        other.push_back(Popup({L"タスク優先度", L"Task priority"},
                              Items({ID_PRIORITY_HIGH, ID_PRIORITY_NORMAL, ID_PRIORITY_LOW})));
        other.push_back(Preview());
        other.push_back(Zoom());
        std::vector<MenuItem> filter = Items({ID_CLIP_RESIZE});
        filter.push_back(Deinterlace());
        std::vector<MenuItem> skin =
            Items({ID_VIEW_APPLOOK_WIN_2000, ID_VIEW_APPLOOK_OFF_XP, ID_VIEW_APPLOOK_WIN_XP,
                   ID_VIEW_APPLOOK_OFF_2003, ID_VIEW_APPLOOK_VS_2005});
        skin.push_back(
            Popup({L"Office 2007(&7)", L"Office 2007(&7)"},
                  Items({ID_VIEW_APPLOOK_OFF_2007_BLUE, ID_VIEW_APPLOOK_OFF_2007_BLACK,
                         ID_VIEW_APPLOOK_OFF_2007_SILVER, ID_VIEW_APPLOOK_OFF_2007_AQUA})));
        const std::vector<MenuItem> view = {
            Popup({L"ツール バーとドッキング ウィンドウ(&T)", L"Toolbar && Docking Windows(&T)"},
                  Items({ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR})),
            Popup({L"アプリケーションの外観(&A)", L"Skin(&A)"}, std::move(skin))};
        return {
            id,
            {Popup({L"ファイル(&F)", L"File(&F)"}, Items({ID_FILE_OPEN, ID_EDIT_COPY, ID_SAVE_IMAGE,
                                                          0, ID_FILE_MRU_FILE1, 0, ID_APP_EXIT})),
             Popup({L"再生(&C)", L"Play(&C)"},
                   Items({ID_PLAY, ID_PAUSE, ID_STOP, 0, ID_MOVE_START, ID_MOVE_END, 0,
                          ID_PREV_FRAME, ID_NEXT_FRAME})),
             Popup({L"出力設定(&O)", L"Output Setting(&O)"},
                   Items({ID_OUTPUT_AVI, ID_OUTPUT_WMV, ID_OUTPUT_JPG, ID_OUTPUT_BMP, ID_OUTPUT_TIF,
                          ID_OUTPUT_PNG, 0, ID_OUTPUT_SETTINGS})),
             Popup({L"フィルター(&K)", L"Filter(&K)"}, std::move(filter)),
             Popup({L"範囲設定(&A)", L"Range Setting(&A)"}, Range()),
             Popup({L"抽出(&S)", L"Extraction(&S)"}, Items({ID_EXTRACT_VIDEO, ID_EXTRACT_AUDIO})),
             Popup({L"その他(&S)", L"Other(&S)"}, std::move(other)),
             Popup({L"表示(&V)", L"View(&V)"}, view),
             Popup({L"ヘルプ(&H)", L"Help(&H)"}, Items({ID_HELP, ID_APP_ABOUT}))}};
    }

    MenuTemplate ContextMenu(UINT id) const {
        std::vector<MenuItem> picture = {Zoom(), Deinterlace(), Preview()};
        for (const MenuItem& item : Items({0, ID_PLAY, ID_STOP, 0, ID_FILE_OPEN, ID_EDIT_COPY}))
            picture.push_back(item);
        picture.push_back(Item(kContextSaveImage));
        for (const MenuItem& item : Items({0, ID_APP_EXIT})) picture.push_back(item);
        return {id,
                {Popup({L"メニュー", L"menu"}, std::move(picture)),
                 Popup({L"範囲設定(&A)", L"Range Setting(&A)"}, Range())}};
    }

private:
    Lang m_lang;
};

std::vector<Accelerator> AcceleratorTable() {
    return {
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_P), ID_PLAY},
        {QKeySequence(Qt::Key_Space), ID_PAUSE},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_STOP},
        {QKeySequence(Qt::Key_Left), ID_PREV_FRAME},
        {QKeySequence(Qt::Key_Right), ID_NEXT_FRAME},
        {QKeySequence(Qt::CTRL | Qt::Key_R), ID_CLIP_RESIZE},
        {QKeySequence(Qt::CTRL | Qt::Key_0), ID_DEINTERLACE_NO},
        {QKeySequence(Qt::CTRL | Qt::Key_1), ID_DEINTERLACE_ODD},
        {QKeySequence(Qt::CTRL | Qt::Key_2), ID_DEINTERLACE_EVEN},
        {QKeySequence(Qt::CTRL | Qt::Key_3), ID_DEINTERLACE_DOUBLING},
        {QKeySequence(Qt::CTRL | Qt::Key_I), ID_FILE_INFO},
        {QKeySequence(Qt::CTRL | Qt::Key_M), ID_BMP_INFO},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_SHOW_ORIGINAL},
        {QKeySequence(Qt::Key_F1), ID_HELP},
        {QKeySequence(Qt::Key_F5), ID_PLAYER_TOGGLE},
        {QKeySequence(Qt::Key_F6), ID_PLAYER_PAUSE},
        {QKeySequence(Qt::Key_F7), ID_PLAYER_FIRST},
        {QKeySequence(Qt::Key_F8), ID_PLAYER_LAST},
        {QKeySequence(Qt::CTRL | Qt::Key_Up), ID_ZOOM_UP},
        {QKeySequence(Qt::CTRL | Qt::Key_Down), ID_ZOOM_DOWN},
    };
}

}  // namespace

void RegisterMenuResources() {
    RegisterMenuTemplate(Builder(JA).MainMenu(IDR_MAINFRAME));
    RegisterMenuTemplate(Builder(EN).MainMenu(IDR_MAINFRAME_EN));
    RegisterMenuTemplate(Builder(JA).ContextMenu(IDR_CONTEXT_JA));
    RegisterMenuTemplate(Builder(EN).ContextMenu(IDR_CONTEXT_EN));
    RegisterAcceleratorTable(IDR_MAINFRAME, AcceleratorTable());
}

void RegisterAppResources() {
    RegisterMenuResources();
    RegisterImageResources();
}
