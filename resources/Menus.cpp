// Main menus 128 (Japanese) and 129 (English), context menus 140 and 141 and the one
// accelerator table. The menus of one pair have the same items in the same order, so
// each is built from one layout and a text per language.
#include <QKeySequence>

#include "foundation/LangString.h"
#include "platform/ui/MenuTemplate.h"
#include "resources/AppResources.h"

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
    {57601, {L"開く(&O)...\tCtrl+O", L"Open(&O)...\tCtrl+O"}},
    {57634, {L"コピー(&C)\tCtrl+C", L"Copy(&C)\tCtrl+C"}},
    {57603, {L"フレームを保存(&S)", L"Save Image..."}},
    {57616, {L"最近使ったファイル", L"Recent File"}},
    {57665, {L"アプリケーションの終了(&X)", L"Exit(&X)"}},
    {32791, {L"再生\tCtrl+P", L"Play\tCtrl+P"}},
    {32793, {L"一時停止\tSpace", L"Pause\tSpace"}},
    {32792, {L"停止\tCtrl+S", L"Stop\tCtrl+S"}},
    {32873, {L"始端に移動(&S)", L"Move to Start"}},
    {32870, {L"終端に移動(&E)", L"Move to End"}},
    {32872, {L"前のフレームに移動\t←", L"Front Frame\t<-"}},
    {32871, {L"次のフレームに移動\t→", L"Next Frame\t->"}},
    {32734, {L"再生時にAVIを出力(&A)", L"Output AVI , when playing"}},
    {32735, {L"再生時にWMVを出力(&W)", L"Output WMV, when playing"}},
    {32732, {L"再生時に連続してJPGを出力(&J)", L"Output JPG, when playing"}},
    {32733, {L"再生時に連続してBMPを出力(&B)", L"Output BMP, when playing"}},
    {32736, {L"再生時に連続してTIFを出力(&T)", L"Output TIF, when playing"}},
    {32737, {L"再生時に連続してPNGを出力(&P)", L"Output PNG, when playing"}},
    {32738, {L"出力ファイルの保存設定...(&S)", L"Setting..."}},
    {32731, {L"クリッピング + リサイズ...\tCtrl+R", L"Clipping + Resize...\tCtrl+R"}},
    {32761, {L"解除なし\tCtrl+0", L"No\tCtrl+0"}},
    {32762, {L"奇数フィールド\tCtrl+1", L"Odd\tCtrl+1"}},
    {32763, {L"偶数フィールド\tCtrl+2", L"Even\tCtrl+2"}},
    {32764, {L"二重化\tCtrl+3", L"Doubling\tCtrl+3"}},
    {32802, {L"範囲指定で再生する(&H)", L"Play in Specifical range"}},
    {32800, {L"このフレームを開始フレームに設定(&S)", L"This frame is set to the start frame"}},
    {32801, {L"このフレームを終了フレームに設定(&E)", L"This frame is set to the end frame"}},
    {32805, {L"範囲を全体に設定(&A)", L"The range is set to the whole"}},
    {32803, {L"開始フレームに移動(&B)", L"It moves to the start frame"}},
    {32804, {L"終了フレームに移動(&N)", L"It moves to the end frame"}},
    {32892, {L"映像ストリームをコピーして抽出(&C)", L"Extract Video-Stream"}},
    {32900, {L"音声ストリームのWAV抽出(&W)", L"Extract Audio-Stream"}},
    {32750, {L"AVI情報...\tCtrl+I", L"File Infomation...\tCtrl+I"}},
    {32880, {L"BMP情報...\tCtrl+M", L"BMP Info...\tCtrl+M"}},
    {32840, {L"元絵の表示...\tCtrl+V", L"Display of former picture...\tCtrl+V"}},
    {32780, {L"高い", L"High"}},
    {32781, {L"通常", L"Normal"}},
    {32782, {L"低い", L"Low"}},
    {32811, {L"全表示", L"All"}},
    {32810, {L"間引く", L"thins"}},
    {32809, {L"表示しない", L"No"}},
    {32776, {L"400%", L"400%"}},
    {32775, {L"200%", L"200%"}},
    {32774, {L"150%", L"150%"}},
    {32773, {L"100%", L"100%"}},
    {32772, {L"50%", L"50%"}},
    {32771, {L"25%", L"25%"}},
    {59392, {L"<プレースホルダ>", L"<??????\?>"}},
    {59393, {L"ステータス バー(&S)", L"Status bar(&S)"}},
    {40001, {L"Windows 2000(&2)", L"Windows 2000(&2)"}},
    {40002, {L"Office XP(&X)", L"Office XP(&X)"}},
    {40003, {L"Windows XP(&W)", L"Windows XP(&W)"}},
    {40004, {L"Office 2003(&3)", L"Office 2003(&3)"}},
    {40005, {L"Visual Studio .NET 2005(&5)", L"Visual Studio .NET 2005(&5)"}},
    {40006, {L"ブルー スタイル(&B)", L"Blue(&B)"}},
    {40007, {L"ブラック スタイル(&L)", L"Black(&L)"}},
    {40008, {L"シルバー スタイル(&S)", L"Silver(&S)"}},
    {40009, {L"アクア スタイル(&A)", L"Aqua(&A)"}},
    {57670, {L"ヘルプ\tF1", L"Help\tF1"}},
    {57664, {L"TALVERN のバージョン情報(&A)...", L"TALVERN Version Info(&A)..."}},
};

// The movie player's commands, whose texts are string pairs (Japanese id given).
struct TableText {
    UINT id;
    UINT jpString;
};
constexpr TableText kPlayerCommands[] = {{32890, 50607}, {32891, 50609}, {32798, 50611}, {32799, 50613}};

// In the picture's context menu the Japanese save item has no mnemonic.
constexpr CommandText kContextSaveImage = {57603, {L"フレームを保存", L"Save Image..."}};

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
                     Items({32761, 32762, 32763, 32764}));
    }
    MenuItem Preview() const {
        return Popup({L"プレビュー表示", L"Preview"}, Items({32811, 32810, 32809}));
    }
    MenuItem Zoom() const {
        return Popup({L"プレビュー倍率", L"Preview magnification"},
                     Items({32776, 32775, 32774, 32773, 32772, 32771}));
    }
    std::vector<MenuItem> Range() const {
        return Items({32802, 0, 32800, 32801, 32805, 0, 32803, 32804});
    }

    MenuTemplate MainMenu(UINT id) const {
        std::vector<MenuItem> other = Items({32750, 32880, 32840, 0});
        for (const TableText& t : kPlayerCommands) other.push_back(Item(t));
        other.push_back(Separator());
        other.push_back(Popup({L"タスク優先度", L"Task priority"}, Items({32780, 32781, 32782})));
        other.push_back(Preview());
        other.push_back(Zoom());
        std::vector<MenuItem> filter = Items({32731});
        filter.push_back(Deinterlace());
        std::vector<MenuItem> skin = Items({40001, 40002, 40003, 40004, 40005});
        skin.push_back(
            Popup({L"Office 2007(&7)", L"Office 2007(&7)"}, Items({40006, 40007, 40008, 40009})));
        const std::vector<MenuItem> view = {
            Popup({L"ツール バーとドッキング ウィンドウ(&T)", L"Toolbar && Docking Windows(&T)"},
                  Items({59392, 59393})),
            Popup({L"アプリケーションの外観(&A)", L"Skin(&A)"}, std::move(skin))};
        return {id,
                {Popup({L"ファイル(&F)", L"File(&F)"},
                       Items({57601, 57634, 57603, 0, 57616, 0, 57665})),
                 Popup({L"再生(&C)", L"Play(&C)"},
                       Items({32791, 32793, 32792, 0, 32873, 32870, 0, 32872, 32871})),
                 Popup({L"出力設定(&O)", L"Output Setting(&O)"},
                       Items({32734, 32735, 32732, 32733, 32736, 32737, 0, 32738})),
                 Popup({L"フィルター(&K)", L"Filter(&K)"}, std::move(filter)),
                 Popup({L"範囲設定(&A)", L"Range Setting(&A)"}, Range()),
                 Popup({L"抽出(&S)", L"Extraction(&S)"}, Items({32892, 32900})),
                 Popup({L"その他(&S)", L"Other(&S)"}, std::move(other)),
                 Popup({L"表示(&V)", L"View(&V)"}, view),
                 Popup({L"ヘルプ(&H)", L"Help(&H)"}, Items({57670, 57664}))}};
    }

    MenuTemplate ContextMenu(UINT id) const {
        std::vector<MenuItem> picture = {Zoom(), Deinterlace(), Preview()};
        for (const MenuItem& item : Items({0, 32791, 32792, 0, 57601, 57634}))
            picture.push_back(item);
        picture.push_back(Item(kContextSaveImage));
        for (const MenuItem& item : Items({0, 57665})) picture.push_back(item);
        return {id,
                {Popup({L"メニュー", L"menu"}, std::move(picture)),
                 Popup({L"範囲設定(&A)", L"Range Setting(&A)"}, Range())}};
    }

private:
    Lang m_lang;
};

std::vector<Accelerator> AcceleratorTable() {
    return {
        {QKeySequence(Qt::CTRL | Qt::Key_O), 57601},
        {QKeySequence(Qt::CTRL | Qt::Key_C), 57634},
        {QKeySequence(Qt::CTRL | Qt::Key_P), 32791},
        {QKeySequence(Qt::Key_Space), 32793},
        {QKeySequence(Qt::CTRL | Qt::Key_S), 32792},
        {QKeySequence(Qt::Key_Left), 32872},
        {QKeySequence(Qt::Key_Right), 32871},
        {QKeySequence(Qt::CTRL | Qt::Key_R), 32731},
        {QKeySequence(Qt::CTRL | Qt::Key_0), 32761},
        {QKeySequence(Qt::CTRL | Qt::Key_1), 32762},
        {QKeySequence(Qt::CTRL | Qt::Key_2), 32763},
        {QKeySequence(Qt::CTRL | Qt::Key_3), 32764},
        {QKeySequence(Qt::CTRL | Qt::Key_I), 32750},
        {QKeySequence(Qt::CTRL | Qt::Key_M), 32880},
        {QKeySequence(Qt::CTRL | Qt::Key_V), 32840},
        {QKeySequence(Qt::Key_F1), 57670},
        {QKeySequence(Qt::Key_F5), 32890},
        {QKeySequence(Qt::Key_F6), 32891},
        {QKeySequence(Qt::Key_F7), 32798},
        {QKeySequence(Qt::Key_F8), 32799},
        {QKeySequence(Qt::CTRL | Qt::Key_Up), 61450},
        {QKeySequence(Qt::CTRL | Qt::Key_Down), 61451},
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
