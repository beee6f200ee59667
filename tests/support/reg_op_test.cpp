// RegOp against the real registry: reading and writing by type, options, deletion, errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "tests/common/array_values.h"
#include "tests/common/registry_snapshot.h"
#include "tests/common/temp_folder.h"
#include "platform/ansi.h"
#include "platform/com_object.h"
#include "support/reg_op.h"
#include "support/shared_state.h"

namespace vantrell {
namespace {

using com::Variant;
using test::ReadRaw;
using test::WriteRaw;

class RegOpTest : public testing::Test {
protected:
    void SetUp() override {
        reg = com::Make<RegOp>();
        reg->SetRoot(REGOP_HKEY_CURRENT_USER);
        reg->SetKey(scratch.Path());
    }
    void TearDown() override { reg.Reset(); }

    std::optional<test::RawValue> Raw(const char* name) { return ReadRaw(HKEY_CURRENT_USER, scratch.Path(), name); }
    void Put(const char* name, DWORD type, const std::string& bytes) {
        WriteRaw(HKEY_CURRENT_USER, scratch.Path(), name, type, bytes);
    }
    std::string Trace() const { return test::ReadFileBytes(temp.File("VantrellTrace.log")); }
    void TraceEverything() {
        ErrorLogSize = 1 << 20;
        ErrorLogLevel = 12;
    }

    test::ScratchKey scratch{L"RegOp"};
    test::TempFolder temp;
    com::Ptr<RegOp> reg;
};

class TracingOff {
public:
    ~TracingOff() {
        ErrorLogSize = 0;
        ErrorLogLevel = 0;
    }
};

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

TEST_F(RegOpTest, ReadingFromAMissingKeyCreatesItAndGivesEmpty) {
    ASSERT_FALSE(test::KeyExists(HKEY_CURRENT_USER, scratch.Path()));
    EXPECT_TRUE(reg->Value(L"Anything").IsEmpty());
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, scratch.Path()));
}

TEST_F(RegOpTest, ReadsEachTypeAsItsVariant) {
    Put("text", REG_SZ, std::string("hello\0", 6));
    Put("number", REG_DWORD, Dword(0xFFFFFFFE));
    Put("multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    Put("binary", REG_BINARY, "\x01\x02");
    Variant text = reg->Value(L"text");
    EXPECT_EQ(VT_BSTR, text.Type());
    EXPECT_EQ(L"hello", text.ToText());
    Variant number = reg->Value(L"number");
    EXPECT_EQ(VT_I4, number.Type());
    EXPECT_EQ(-2, number.ToLong());
    EXPECT_EQ(std::wstring(L"a\0b", 3), reg->Value(L"multi").ToText());
    EXPECT_EQ(L"(unsupported data format)", reg->Value(L"binary").ToText());
}

TEST_F(RegOpTest, NamesMatchWithoutRegardToCase) {
    Put("ErrorLogLevel", REG_DWORD, Dword(8));
    EXPECT_EQ(8, reg->Value(L"errorloglevel").ToLong());
    EXPECT_EQ(8, reg->Value(L"ERRORLOGLEVEL").ToLong());
}

TEST_F(RegOpTest, MultiStringsComeBackAsArraysWhenAsked) {
    Put("multi", REG_MULTI_SZ, std::string("first\0second\0\0", 14));
    reg->SetOptions(ReturnMultiStringsAsArrays);
    Variant value = reg->Value(L"multi");
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, value.Type());
    SAFEARRAY* array = V_ARRAY(value.Get());
    LONG low = -1, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    EXPECT_EQ(0, low);
    ASSERT_EQ(1, high);
    Variant item;
    LONG index = 1;
    SafeArrayGetElement(array, &index, item.Out());
    EXPECT_EQ(L"second", item.ToText());
}

// The option bits in force, seen through what each changes (ShowErrorMessages changes nothing).
long OptionsInForce(RegOp& reg, const std::wstring& path) {
    long seen = 0;
    reg.DeleteValue(L"number");
    reg.SetValue(L"number", Variant(7L));  // also empties the cache: the reads below see the options
    auto number = ReadRaw(HKEY_CURRENT_USER, path, "number");
    if (number && number->type == REG_SZ) seen |= StoreNumbersAsStrings;
    if (reg.Value(L"multi").IsArray()) seen |= ReturnMultiStringsAsArrays;
    if (reg.Value(L"path").ToText() != L"%VANTRELL_TEST_DIR%") seen |= ExpandEnvironmentStrings;
    return seen;
}

TEST_F(RegOpTest, OptionsFrom0To15AreTakenAndOthersIgnored) {
    SetEnvironmentVariableA("VANTRELL_TEST_DIR", "C:\\place");
    Put("multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    Put("path", REG_EXPAND_SZ, std::string("%VANTRELL_TEST_DIR%\0", 20));
    const long all = StoreNumbersAsStrings | ReturnMultiStringsAsArrays | ExpandEnvironmentStrings;
    struct Case {
        const char* what;
        long before, set, inForce;
    } cases[] = {
        {"the lowest value", all, 0, 0},
        {"the highest value", 0, 15, all},
        {"one below the lowest", 0, -1, 0},
        {"one above the highest", all, 16, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        com::Ptr<RegOp> fresh = com::Make<RegOp>();
        fresh->SetKey(scratch.Path());
        fresh->SetOptions(c.before);
        ASSERT_EQ(c.before, OptionsInForce(*fresh.Get(), scratch.Path()));
        fresh->SetOptions(c.set);
        EXPECT_EQ(c.inForce, OptionsInForce(*fresh.Get(), scratch.Path()));
    }
}

TEST_F(RegOpTest, ExpandableTextIsExpandedOnlyWithTheOption) {
    SetEnvironmentVariableA("VANTRELL_TEST_DIR", "C:\\place");
    Put("path", REG_EXPAND_SZ, std::string("%VANTRELL_TEST_DIR%\\x\0", 22));
    EXPECT_EQ(L"%VANTRELL_TEST_DIR%\\x", reg->Value(L"path").ToText());
    reg->SetOptions(ExpandEnvironmentStrings);
    reg->SetKey(L"Software");  // reopening empties the cache
    reg->SetKey(scratch.Path());
    EXPECT_EQ(L"C:\\place\\x", reg->Value(L"path").ToText());
}

TEST_F(RegOpTest, AnExpansionLongerThan1024CharactersComesBackWhole) {
    std::string longValue(3000, 'v');
    SetEnvironmentVariableA("VANTRELL_LONG", longValue.c_str());
    Put("path", REG_EXPAND_SZ, std::string("<%VANTRELL_LONG%>\0", 18));
    reg->SetOptions(ExpandEnvironmentStrings);
    EXPECT_EQ(L"<" + std::wstring(3000, L'v') + L">", reg->Value(L"path").ToText());
    SetEnvironmentVariableA("VANTRELL_LONG", nullptr);
}

TEST_F(RegOpTest, WritesNumbersAsDwordOrAsTextWithTheOption) {
    reg->SetValue(L"long", Variant(123L));
    ASSERT_TRUE(Raw("long"));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), Raw("long")->type);
    EXPECT_EQ(Dword(123), Raw("long")->bytes);

    reg->SetValue(L"integer", Variant(static_cast<std::int16_t>(4)));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), Raw("integer")->type);

    reg->SetOptions(StoreNumbersAsStrings);
    reg->SetValue(L"asText", Variant(123L));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), Raw("asText")->type);
    EXPECT_EQ(std::string("123\0", 4), Raw("asText")->bytes);
    reg->SetValue(L"text123", Variant(L"123"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), Raw("text123")->type);
}

TEST_F(RegOpTest, AnExistingValueKeepsItsType) {
    Put("text", REG_SZ, std::string("old\0", 4));
    reg->SetValue(L"text", Variant(42L));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), Raw("text")->type);
    EXPECT_EQ(std::string("42\0", 3), Raw("text")->bytes);

    Put("number", REG_DWORD, Dword(1));
    reg->SetValue(L"number", Variant(L"77"));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), Raw("number")->type);
    EXPECT_EQ(Dword(77), Raw("number")->bytes);
}

TEST_F(RegOpTest, AValueOfAnUnsupportedTypeIsNeverOverwritten) {
    TracingOff off;
    TraceEverything();
    Put("binary", REG_BINARY, "\x01\x02\x03");
    reg->SetValue(L"binary", Variant(L"replacement"));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), Raw("binary")->type);
    EXPECT_EQ("\x01\x02\x03", Raw("binary")->bytes);
    EXPECT_NE(std::string::npos,
              Trace().find("RegOp::ShowErrMsg:Existing value has unsupported data type and will not be overwritten Error \r\n"));
}

TEST_F(RegOpTest, TextNamingAnEnvironmentVariableIsStoredExpandable) {
    ASSERT_TRUE(GetEnvironmentVariableA("TEMP", nullptr, 0) > 0);
    reg->SetValue(L"expand", Variant(L"%TEMP%\\x"));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), Raw("expand")->type);
    reg->SetValue(L"lower", Variant(L"%temp%\\x"));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), Raw("lower")->type);
    reg->SetValue(L"percent", Variant(L"50%"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), Raw("percent")->type);
    reg->SetValue(L"unknown", Variant(L"%NO_SUCH_VARIABLE_HERE%"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), Raw("unknown")->type);
}

// The names of the environment block's entries in its order, the hidden "=C:" ones included.
std::vector<std::wstring> EnvironmentNames() {
    std::vector<std::wstring> names;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
        std::wstring_view line(entry);
        names.emplace_back(line.substr(0, line.find(L'=', 1)));
    }
    FreeEnvironmentStringsW(block);
    return names;
}

// Only the first 100 entries of the environment are looked at. The environment is emptied and
// the variable put at the place wanted behind fillers (each case runs in a process of its own).
TEST_F(RegOpTest, OnlyAVariableAmongTheFirst100EntriesMakesTextExpandable) {
    for (auto [place, type] : {std::pair{100L, REG_EXPAND_SZ}, std::pair{101L, REG_SZ}}) {
        for (const std::wstring& name : EnvironmentNames())
            if (name[0] != L'=') SetEnvironmentVariableW(name.c_str(), nullptr);
        for (int filler = 0;; ++filler) {
            SetEnvironmentVariableW(L"VANTRELL_EDGE", L"x");
            const auto names = EnvironmentNames();
            const long at = std::find(names.begin(), names.end(), L"VANTRELL_EDGE") - names.begin() + 1;
            if (at >= place) {
                ASSERT_EQ(place, at);
                break;
            }
            SetEnvironmentVariableW(L"VANTRELL_EDGE", nullptr);
            SetEnvironmentVariableW((L"VANTRELL_A" + std::to_wstring(filler)).c_str(), L"x");
        }
        const std::string name = "entry" + std::to_string(place);
        reg->SetValue(FromAnsi(name), Variant(L"%vantrell_edge%\\x"));
        EXPECT_EQ(static_cast<DWORD>(type), Raw(name.c_str())->type) << name;
    }
}

TEST_F(RegOpTest, AnArrayIsStoredAsAMultiString) {
    SAFEARRAYBOUND bound{2, 0};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (LONG i = 0; i < 2; ++i) {
        Variant item(i == 0 ? L"a" : L"b");
        SafeArrayPutElement(array, &i, item.GetMutable());
    }
    Variant value;
    V_VT(value.Out()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(value.GetMutable()) = array;
    reg->SetValue(L"multi", value);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), Raw("multi")->type);
    EXPECT_EQ(std::string("a\0b\0\0", 5), Raw("multi")->bytes);
}

// REG_MULTI_SZ data: the texts joined with NUL, then two NULs.
std::string Multi(std::initializer_list<std::string> texts) {
    std::string data;
    for (const std::string& text : texts) {
        if (&text != texts.begin()) data += '\0';
        data += text;
    }
    return data + std::string(2, '\0');
}

TEST_F(RegOpTest, ArraysOfEveryPlainElementTypeAreStoredAsTheirTexts) {
    struct Case {
        const char* what;
        Variant array;
        std::string stored;
    } cases[] = {
        {"DECIMAL", test::ArrayOf(VT_DECIMAL, {Variant(L"1.5"), Variant(L"-79228162514264337593543950335")}),
         Multi({"1.5", "-79228162514264337593543950335"})},
        {"I1", test::ArrayOf(VT_I1, {Variant(-128L), Variant(127L)}), Multi({"-128", "127"})},
        {"I8", test::ArrayOf(VT_I8, {Variant(L"9223372036854775807"), Variant(-1L)}),
         Multi({"9223372036854775807", "-1"})},
        {"DATE", test::ArrayOf(VT_DATE, {Variant::Date(36526.5)}), Multi({ToAnsi(Variant::Date(36526.5).ToText())})},
        {"BOOL", test::ArrayOf(VT_BOOL, {Variant::Boolean(true), Variant::Boolean(false)}), Multi({"True", "False"})},
        {"R4", test::ArrayOf(VT_R4, {Variant(0.5)}), Multi({"0.5"})},
        {"BSTR", test::ArrayOf(VT_BSTR, {Variant(L"x"), Variant(L"")}), Multi({"x", ""})},
        {"no elements", test::ArrayOf(VT_I4, {}), Multi({})},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        reg->SetValue(L"multi", c.array);
        ASSERT_TRUE(Raw("multi"));
        EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), Raw("multi")->type);
        EXPECT_EQ(c.stored, Raw("multi")->bytes);
        reg->DeleteValue(L"multi");
    }
}

Variant Null() {
    Variant null;
    V_VT(null.Out()) = VT_NULL;
    return null;
}

TEST_F(RegOpTest, ArraysWhoseElementsHaveNoTextAreNotWritten) {
    TracingOff off;
    TraceEverything();
    com::Ptr<test::FakeRecordInfo> record = com::Make<test::FakeRecordInfo>(64);
    SAFEARRAYBOUND square[2] = {{2, 0}, {2, 0}};
    SAFEARRAYBOUND two{2, 0};
    struct Case {
        const char* what;
        Variant array;
    } cases[] = {
        {"records", test::RecordArray(record.Get(), 3)},
        {"an array in an element", test::ArrayOf(VT_VARIANT, {Variant(L"a"), test::ArrayOf(VT_BSTR, {Variant(L"b")})})},
        {"a Null element", test::ArrayOf(VT_VARIANT, {Variant(L"a"), Null()})},
        {"objects", Variant::AdoptArray(SafeArrayCreate(VT_DISPATCH, 1, &two), VT_DISPATCH)},
        {"two dimensions", Variant::AdoptArray(SafeArrayCreate(VT_VARIANT, 2, square), VT_VARIANT)},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.array.IsArray());
        reg->SetValue(L"multi", c.array);
        EXPECT_FALSE(Raw("multi"));
        EXPECT_EQ(0, reg->ValueCount());
    }
    const std::string refusal = "RegOp::ShowErrMsg:Value has unsupported data type and will not be written Error \r\n";
    std::string trace = Trace();
    size_t refusals = 0;
    for (size_t at = trace.find(refusal); at != std::string::npos; at = trace.find(refusal, at + 1)) ++refusals;
    EXPECT_EQ(std::size(cases), refusals);
    // RegOp kept nothing of the records it refused.
    for (Case& c : cases) c.array = Variant();
    record->AddRef();
    EXPECT_EQ(1u, record->Release());
}

TEST_F(RegOpTest, AValueThatCannotTakeTheTypeItMustBeStoredAsIsNotWritten) {
    TracingOff off;
    TraceEverything();
    Put("text", REG_SZ, std::string("old\0", 4));
    Put("number", REG_DWORD, Dword(1));
    Variant pair = test::ArrayOf(VT_BSTR, {Variant(L"a"), Variant(L"b")});
    struct Case {
        const char* what;
        const wchar_t* name;
        Variant value;
        std::optional<test::RawValue> before;
    } cases[] = {
        // The default value is always text, and an array has no text form.
        {"an array as the default value", L"", pair, Raw("")},
        {"an array over a text", L"text", pair, Raw("text")},
        {"an array over a number", L"number", pair, Raw("number")},
        {"a word over a number", L"number", Variant(L"many"), Raw("number")},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        reg->SetValue(c.name, c.value);
        auto after = Raw(ToAnsi(c.name).c_str());
        EXPECT_EQ(c.before.has_value(), after.has_value());
        if (c.before && after) {
            EXPECT_EQ(c.before->type, after->type);
            EXPECT_EQ(c.before->bytes, after->bytes);
        }
    }
    EXPECT_NE(std::string::npos,
              Trace().find("RegOp::ShowErrMsg:Value has unsupported data type and will not be written Error \r\n"));
}

TEST_F(RegOpTest, TheDefaultValueIsAlwaysText) {
    reg->SetValue(L"", Variant(5L));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), Raw("")->type);
    EXPECT_EQ(std::string("5\0", 2), Raw("")->bytes);
}

TEST_F(RegOpTest, OtherTypesAreStoredAsTheirText) {
    reg->SetValue(L"flag", Variant::Boolean(true));
    EXPECT_EQ(std::string("True\0", 5), Raw("flag")->bytes);
    reg->SetValue(L"half", Variant(0.5));
    EXPECT_EQ(std::string("0.5\0", 4), Raw("half")->bytes);
}

TEST_F(RegOpTest, WritingEmptyDoesNothing) {
    reg->SetValue(L"nothing", Variant());
    EXPECT_FALSE(Raw("nothing"));
}

TEST_F(RegOpTest, AReadSeesItsOwnWritesAtOnce) {
    reg->SetValue(L"a", Variant(1L));
    EXPECT_EQ(1, reg->Value(L"a").ToLong());
    reg->SetValue(L"a", Variant(2L));
    EXPECT_EQ(2, reg->Value(L"a").ToLong());
    EXPECT_EQ(1, reg->ValueCount());
}

TEST_F(RegOpTest, AValueGrownByAnotherProgramAfterOpeningIsStillReadWhole) {
    Put("later", REG_SZ, std::string("z\0", 2));
    EXPECT_EQ(1, reg->ValueCount());  // opened: the longest data is 2 bytes
    Put("later", REG_SZ, std::string(500, 'z') + '\0');
    EXPECT_EQ(std::wstring(500, L'z'), reg->Value(L"later").ToText());
}

TEST_F(RegOpTest, DeleteValueRemovesOnlyThatValue) {
    reg->SetValue(L"keep", Variant(1L));
    reg->SetValue(L"ResetLogon", Variant(1L));
    EXPECT_TRUE(reg->DeleteValue(L"resetlogon"));
    EXPECT_FALSE(Raw("ResetLogon"));
    EXPECT_TRUE(Raw("keep"));
    EXPECT_TRUE(reg->Value(L"ResetLogon").IsEmpty());
    EXPECT_FALSE(reg->DeleteValue(L"ResetLogon"));
    EXPECT_EQ(1, reg->ValueCount());
}

TEST_F(RegOpTest, DeleteKeyRemovesTheSubtreeAndStandsForTheParent) {
    const std::wstring b = scratch.Path() + L"\\A\\B";
    WriteRaw(HKEY_CURRENT_USER, b + L"\\C", "deep", REG_SZ, std::string("x\0", 2));
    reg->SetKey(b);
    EXPECT_TRUE(reg->DeleteKey());
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, b));
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, scratch.Path() + L"\\A"));
    reg->SetValue(L"here", Variant(1L));  // the object now stands for ...\A
    EXPECT_TRUE(ReadRaw(HKEY_CURRENT_USER, scratch.Path() + L"\\A", "here"));
    EXPECT_EQ(0, reg->KeyCount());
}

TEST_F(RegOpTest, DeleteKeyWithoutABackslashRefuses) {
    com::Ptr<RegOp> top = com::Make<RegOp>();
    top->SetKey(L"Software");
    EXPECT_FALSE(top->DeleteKey());
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, L"Software"));
    top->SetKey(L"Software\\");
    EXPECT_FALSE(top->DeleteKey());
}

TEST_F(RegOpTest, AllValuesIsANameValueTableInEnumerationOrder) {
    EXPECT_TRUE(reg->AllValues().IsEmpty());
    Put("one", REG_DWORD, Dword(1));
    Put("two", REG_SZ, std::string("2\0", 2));
    reg->SetValue(L"three", Variant(3L));  // refreshes the counts
    Variant all = reg->AllValues();
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, all.Type());
    SAFEARRAY* array = V_ARRAY(all.Get());
    ASSERT_EQ(2u, SafeArrayGetDim(array));
    LONG rows = -1, columns = -1;
    SafeArrayGetUBound(array, 1, &rows);
    SafeArrayGetUBound(array, 2, &columns);
    EXPECT_EQ(2, rows);
    EXPECT_EQ(1, columns);
    std::map<std::wstring, std::wstring> table;
    for (LONG i = 0; i <= rows; ++i) {
        Variant name, value;
        LONG nameAt[2] = {i, 0}, valueAt[2] = {i, 1};
        SafeArrayGetElement(array, nameAt, name.Out());
        SafeArrayGetElement(array, valueAt, value.Out());
        table[name.ToText()] = value.ToText();
    }
    EXPECT_EQ(L"1", table[L"one"]);
    EXPECT_EQ(L"2", table[L"two"]);
    EXPECT_EQ(L"3", table[L"three"]);
}

TEST_F(RegOpTest, AllKeysListsSubkeysWithoutMovingTheObject) {
    EXPECT_TRUE(reg->AllKeys().IsEmpty());
    WriteRaw(HKEY_CURRENT_USER, scratch.Path() + L"\\First", "v", REG_SZ, std::string("\0", 1));
    WriteRaw(HKEY_CURRENT_USER, scratch.Path() + L"\\Second", "v", REG_SZ, std::string("\0", 1));
    reg->SetKey(L"Software");
    reg->SetKey(scratch.Path());
    Variant keys = reg->AllKeys();
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, keys.Type());
    LONG high = -1;
    SafeArrayGetUBound(V_ARRAY(keys.Get()), 1, &high);
    ASSERT_EQ(1, high);
    std::set<std::wstring> names;
    for (LONG i = 0; i <= high; ++i) {
        Variant name;
        SafeArrayGetElement(V_ARRAY(keys.Get()), &i, name.Out());
        names.insert(name.ToText());
    }
    EXPECT_EQ((std::set<std::wstring>{L"First", L"Second"}), names);
    EXPECT_EQ(2, reg->KeyCount());
}

TEST_F(RegOpTest, WithoutAKeyEveryOperationTracesAndGivesItsNeutralResult) {
    TracingOff off;
    TraceEverything();
    com::Ptr<RegOp> empty = com::Make<RegOp>();
    EXPECT_TRUE(empty->Value(L"x").IsEmpty());
    EXPECT_FALSE(empty->DeleteKey());
    EXPECT_FALSE(empty->DeleteValue(L"x"));
    EXPECT_EQ(0, empty->ValueCount());
    EXPECT_TRUE(empty->AllKeys().IsEmpty());
    EXPECT_NE(std::string::npos, Trace().find("RegOp::ShowErrMsg:No Key name specified! Error \r\n"));
}

TEST_F(RegOpTest, AKeyThatCannotBeOpenedIsReported) {
    TracingOff off;
    TraceEverything();
    com::Ptr<RegOp> machine = com::Make<RegOp>();
    machine->SetRoot(REGOP_HKEY_LOCAL_MACHINE);
    machine->SetKey(L"\\\\invalid\\\\");  // an empty path component cannot be created
    EXPECT_TRUE(machine->Value(L"x").IsEmpty());
    EXPECT_NE(std::string::npos, Trace().find("RegOp::ShowErrMsg:Could not open Registry Key! Error \r\n"));
}

TEST_F(RegOpTest, AKeyThatCannotBeReopenedAnswersNothingOfTheKeyBefore) {
    Put("x", REG_SZ, std::string("from before\0", 12));
    ASSERT_EQ(L"from before", reg->Value(L"x").ToText());
    reg->SetKey(L"\\\\invalid\\\\");
    EXPECT_TRUE(reg->Value(L"x").IsEmpty());
    EXPECT_TRUE(reg->AllValues().IsEmpty());
    EXPECT_EQ(0, reg->ValueCount());
    reg->SetKey(scratch.Path());
    EXPECT_EQ(L"from before", reg->Value(L"x").ToText());
}

TEST_F(RegOpTest, OpeningExistingKeysOnlyReadsWithoutCreatingOrComplaining) {
    TracingOff off;
    TraceEverything();
    com::Ptr<RegOp> reader = com::Make<RegOp>();
    reader->OpenExistingOnly();
    reader->SetKey(scratch.Path() + L"\\Missing");
    EXPECT_TRUE(reader->Value(L"x").IsEmpty());
    EXPECT_TRUE(reader->AllValues().IsEmpty());
    EXPECT_TRUE(reader->AllKeys().IsEmpty());
    EXPECT_EQ(0, reader->ValueCount());
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, scratch.Path()));
    EXPECT_EQ(std::string::npos, Trace().find("RegOp::"));

    Put("x", REG_DWORD, Dword(3));
    reader->SetKey(scratch.Path());
    EXPECT_EQ(3, reader->Value(L"x").ToLong());
}

// The Root values are the predefined keys' 32-bit values; on 64-bit Windows the handles are
// those values sign-extended, and a zero-extended one names no key.
TEST(RegOpRoot, NamesThePredefinedKeysExactlyOnEitherArchitecture) {
    EXPECT_EQ(HKEY_CLASSES_ROOT, RootKey(static_cast<long>(REGOP_HKEY_CLASSES_ROOT)));
    EXPECT_EQ(HKEY_CURRENT_USER, RootKey(static_cast<long>(REGOP_HKEY_CURRENT_USER)));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, RootKey(static_cast<long>(REGOP_HKEY_LOCAL_MACHINE)));
    EXPECT_EQ(HKEY_CURRENT_USER, RootKey(0));
}

TEST_F(RegOpTest, AnUnknownRootMeansTheCurrentUser) {
    reg->SetRoot(12345);
    reg->SetValue(L"where", Variant(1L));
    EXPECT_TRUE(Raw("where"));
}

TEST_F(RegOpTest, ChangingTheRootReopensTheKeyThere) {
    reg->SetValue(L"user", Variant(1L));
    reg->SetRoot(REGOP_HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(reg->Value(L"user").IsEmpty());
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, scratch.Path()));
    reg->SetRoot(REGOP_HKEY_CURRENT_USER);
    EXPECT_EQ(1, reg->Value(L"user").ToLong());
    test::DeleteTree(HKEY_LOCAL_MACHINE, scratch.Path());
    test::DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\VantrellTests");
}

}  // namespace
}  // namespace vantrell
