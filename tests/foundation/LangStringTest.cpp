#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "foundation/LangString.h"
#include "foundation/ResultCodes.h"

namespace {

// Sets the three locale variables for one scope and restores them afterwards.
class ScopedLocale {
public:
    ScopedLocale(const char* all, const char* messages, const char* lang) {
        const char* values[] = {all, messages, lang};
        for (int i = 0; i < 3; ++i) {
            const char* old = std::getenv(kNames[i]);
            m_had[i] = old != nullptr;
            if (old) m_old[i] = old;
            if (values[i])
                setenv(kNames[i], values[i], 1);
            else
                unsetenv(kNames[i]);
        }
    }
    ~ScopedLocale() {
        for (int i = 0; i < 3; ++i) {
            if (m_had[i])
                setenv(kNames[i], m_old[i].c_str(), 1);
            else
                unsetenv(kNames[i]);
        }
    }

private:
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string m_old[3];
    bool m_had[3] = {};
};

const int kCatalogueCodes[] = {
    -42,  -41,  -6,   -5,   -4,   -3,   -1,   103,  501,  502,  601,  602,  603,  701,  702,  703,
    800,  802,  803,  806,  807,  808,  809,  810,  811,  812,  813,  814,  815,  840,  841,  901,
    911,  915,  1002, 1003, 1004, 1005, 1006, 1007, 1009, 1107, 1201, 2001, 2002, 2003, 2004, 2005,
    2006, 2105, 2107, 2109, 2115, 2201, 2202, 3001, 3002, 3003, 3004, 3005, 3007, 3008, 4001, 4002,
    4003, 4004, 5003, 5004, 5006, 5007, 5008, 6001, 6002, 6004, 6005, 6006, 6100, 8001, 8201, 8202,
    8203, 8204, 8205, 8301, 8302, 9001, 9002, 9003, 9004, 9005, 9006, 9010, 9011, 9012, 9013, 9014,
    9015, 9016, 9017, 9018, 9019, 9020, 9021, 9022, 9023, 9024, 9025};

bool HasJapanese(const std::wstring& s) {
    for (wchar_t c : s)
        if (c >= 0x3000) return true;
    return false;
}

// A catalogue row's pair: Japanese text at id, English text at id + 1.
void ExpectBothTexts(UINT id) {
    const std::wstring jp = LoadStringTableEntry(id);
    const std::wstring en = LoadStringTableEntry(id + 1);
    EXPECT_TRUE(HasJapanese(jp));
    EXPECT_FALSE(en.empty());
    EXPECT_FALSE(HasJapanese(en));
}

}  // namespace

TEST(LangString, LanguageTestReadsFirstNonEmptyVariable) {
    struct Case {
        const char *all, *messages, *lang;
        bool japanese;
    };
    const Case cases[] = {
        {nullptr, nullptr, "ja_JP.UTF-8", true},
        {nullptr, nullptr, "ja", true},
        {nullptr, nullptr, "ja.eucJP", true},
        {nullptr, nullptr, "ja@x", true},
        {nullptr, nullptr, "jam", false},
        {nullptr, nullptr, "en_US.UTF-8", false},
        {"C.UTF-8", nullptr, "ja_JP", false},
        {"", "ja_JP.UTF-8", "en_US", true},
        {"", "", "ja_JP", true},
        {nullptr, nullptr, nullptr, false},
    };
    for (const Case& c : cases) {
        ScopedLocale locale(c.all, c.messages, c.lang);
        EXPECT_EQ(IsJapaneseSystem() == TRUE, c.japanese)
            << (c.all ? c.all : "-") << " " << (c.messages ? c.messages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

TEST(LangString, PairsFollowTheLanguage) {
    {
        ScopedLocale ja("ja_JP.UTF-8", nullptr, nullptr);
        EXPECT_EQ(LoadLangString(43049, 43050), L"【再生中】");
        EXPECT_EQ(GetMsgSlash(), L"／");
        EXPECT_EQ(GetMsgDefault(), L" 標準");
        EXPECT_EQ(ErrorMessageForCode(-7), L"その他のエラー");
    }
    ScopedLocale en("C.UTF-8", nullptr, nullptr);
    EXPECT_EQ(LoadLangString(43049, 43050), L"[Play]");
    EXPECT_EQ(LoadLangStringPair(43041, 43042), L"[Pause]");
    EXPECT_EQ(GetMsgCustomize(), L" Customize");
    EXPECT_EQ(GetMsgImageNotAcquired(), L"The image was not able to be acquired. ");
    EXPECT_EQ(LoadStringTableEntry(1), L"");  // a missing id is an empty text
    for (UINT blank : {43073u, 43100u, 43273u, 43290u, 43335u})
        EXPECT_EQ(LoadStringTableEntry(blank), L" ") << blank;
    EXPECT_EQ(LoadStringTableEntry(43272), L"Other Errors");
}

TEST(LangString, CatalogueRows) {
    ScopedLocale en("C.UTF-8", nullptr, nullptr);
    EXPECT_EQ(ErrorMessageForCode(0), L"");
    EXPECT_EQ(ErrorMessageForCode(-2), L"");
    for (int code : {-7, 1008, 5005, INT32_MAX, INT32_MIN})
        EXPECT_EQ(ErrorMessageForCode(code), L"Other Errors") << code;
    EXPECT_EQ(ErrorMessageForCode(9025), L"It is a form that doesn't correspond. \n");
    EXPECT_EQ(ErrorMessageForCode(6004), L"It is not WAV.");
    EXPECT_EQ(ErrorMessageForCode(6005), L"It is not PCM of 16 bit two channel.");
    EXPECT_EQ(ErrorMessageForCode(501), L"Memory shortage");
}

TEST(LangString, EveryCatalogueCodeHasBothTexts) {
    std::set<UINT> ids;
    for (int code : kCatalogueCodes) {
        SCOPED_TRACE(code);
        const UINT id = ErrorCatalogueId(code);
        ASSERT_NE(id, 0u);
        EXPECT_EQ(id % 2, 1u);
        EXPECT_TRUE(ids.insert(id).second) << "id shared by two codes";
        ExpectBothTexts(id);
    }
    for (UINT id = 43041; id <= 43071; id += 2) {
        EXPECT_TRUE(HasJapanese(LoadStringTableEntry(id))) << id;
        EXPECT_FALSE(LoadStringTableEntry(id + 1).empty()) << id;
    }
}

TEST(LangString, EveryReturnedCodeHasItsOwnCatalogueText) {
    std::set<int> codes;
    for (int code : ResultCode::kAll) {
        SCOPED_TRACE(code);
        EXPECT_TRUE(codes.insert(code).second) << "two names for one code";
        const UINT id = ErrorCatalogueId(code);
        ASSERT_NE(id, 0u) << "no catalogue row";
        ExpectBothTexts(id);
    }
    EXPECT_EQ(ErrorCatalogueId(ResultCode::kCancelled), 0u);
    EXPECT_EQ(ErrorMessageForCode(ResultCode::kCancelled), L"");
}

TEST(LangString, SavedToMessageTakesThePathLiterally) {
    ScopedLocale en("C.UTF-8", nullptr, nullptr);
    EXPECT_EQ(FormatSavedToMsg(L"/out/Enc_a.avi"),
              L"It preserved it in the following files. \n/out/Enc_a.avi");
    EXPECT_EQ(FormatSavedToMsg(L"/out/100%s %d %n.avi"),
              L"It preserved it in the following files. \n/out/100%s %d %n.avi");
    ScopedLocale ja("ja_JP.UTF-8", nullptr, nullptr);
    EXPECT_EQ(FormatSavedToMsg(L"/出力/a.wmv"), L"次のファイルに保存しました。\n/出力/a.wmv");
}
