// The operations of the document nodes, per class.

#include "Errors.h"
#include "OEUnitQxJSON.h"
#include "TreeText.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<TqxJSONobjectmethod> Member(const char16_t* name,
                                            std::unique_ptr<TqxJSONbase> value) {
    return std::make_unique<TqxJSONobjectmethod>(name, std::move(value));
}

std::unique_ptr<TqxJSONbase> Text(const char16_t* text) {
    return std::make_unique<TqxJSONstring>(text);
}

std::unique_ptr<TqxJSONbase> Number(long double value) {
    return std::make_unique<TqxJSONnumber>(value);
}

template <class Container> std::unique_ptr<Container> Parsed(const char* text) {
    auto root = TqxJSON::ParseDocument(text);
    auto* typed = dynamic_cast<Container*>(root.get());
    if (typed == nullptr) {
        return nullptr;
    }
    root.release();
    return std::unique_ptr<Container>(typed);
}

TEST(NodeKinds, CodesAndNamesPerClass) {
    TqxJSONnumber number;
    TqxJSONstring text;
    TqxJSONboolean flag;
    TqxJSONnull null;
    TqxJSONlist list;
    TqxJSONobject object(true);
    TqxJSONobjectmethod member;
    const struct {
        const TqxJSONbase& node;
        int kind;
        const char* name;
    } cases[] = {{number, 1, "jsNumber"}, {text, 2, "jsString"}, {flag, 3, "jsBoolean"},
                 {null, 4, "jsNull"},     {list, 5, "jsList"},   {object, 6, "jsObject"},
                 {member, 0, "jsBase"}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.node.Kind(), c.kind) << c.name;
        EXPECT_EQ(c.node.KindName(), c.name);
    }
}

TEST(NodeValues, ReadAndWritePerClass) {
    TqxJSONnumber number;
    TqxJSONstring text;
    TqxJSONboolean flag;
    EXPECT_EQ(number.ReadValue(), ScalarValue(0.0));
    EXPECT_EQ(text.ReadValue(), ScalarValue(u""));
    EXPECT_EQ(flag.ReadValue(), ScalarValue(false));

    number.WriteValue(ScalarValue(u"2.5"));
    text.WriteValue(ScalarValue(7.0));
    flag.WriteValue(ScalarValue(u"TRUE"));
    EXPECT_EQ(number.ReadValue(), ScalarValue(2.5));
    EXPECT_EQ(text.ReadValue(), ScalarValue(u"7"));
    EXPECT_EQ(flag.ReadValue(), ScalarValue(true));
    EXPECT_THROW(number.WriteValue(ScalarValue(u"two")), ConvertError);
    EXPECT_EQ(number.ReadValue(), ScalarValue(2.5));

    // Nodes without a value of their own ignore writes and read as empty.
    TqxJSONnull null;
    TqxJSONlist list;
    TqxJSONobjectmethod member(u"m", Number(1));
    for (TqxJSONbase* node : {static_cast<TqxJSONbase*>(&null), static_cast<TqxJSONbase*>(&list),
                              static_cast<TqxJSONbase*>(&member)}) {
        node->WriteValue(ScalarValue(u"x"));
        EXPECT_TRUE(node->ReadValue().IsEmpty()) << node->KindName();
        EXPECT_EQ(node->ItemCount(), 0);
        EXPECT_EQ(node->ItemAt(0), nullptr);
    }
}

TEST(NodeLookup, StepsByKeyPerClass) {
    auto object = Parsed<TqxJSONobject>(R"({"a":"x","list":[10,20]})");
    ASSERT_NE(object, nullptr);
    TqxJSONbase* list = object->MemberByName(u"list");
    ASSERT_NE(list, nullptr);
    TqxJSONbase* scalar = list->ItemAt(0);

    EXPECT_EQ(TreeText(object->Lookup(ScalarValue(u"a"))), R"("x")");
    EXPECT_EQ(object->Lookup(ScalarValue(u"missing")), nullptr);
    EXPECT_EQ(object->Lookup(ScalarValue(u"A")), nullptr);
    // A number selects the member node itself, not its value.
    EXPECT_EQ(object->Lookup(ScalarValue(1.0)), object->ItemAt(1));
    EXPECT_EQ(object->Lookup(ScalarValue(1.0))->Kind(), jsBase);
    EXPECT_EQ(object->Lookup(ScalarValue(2.0)), nullptr);
    EXPECT_EQ(object->Lookup(ScalarValue(true)), object.get());
    EXPECT_EQ(object->Lookup(ScalarValue()), object.get());

    EXPECT_EQ(list->Lookup(ScalarValue(u"0")), list);
    EXPECT_EQ(list->Lookup(ScalarValue(1.0)), list->ItemAt(1));
    EXPECT_EQ(list->Lookup(ScalarValue(-1.0)), nullptr);
    EXPECT_EQ(list->Lookup(ScalarValue(1e300)), nullptr);
    EXPECT_EQ(list->Lookup(ScalarValue(false)), list);

    EXPECT_EQ(scalar->Lookup(ScalarValue(u"anything")), scalar);
    EXPECT_EQ(scalar->Lookup(ScalarValue(0.0)), scalar);
    TqxJSONbase* member = object->ItemAt(0);
    EXPECT_EQ(member->Lookup(ScalarValue(u"a")), member);
}

TEST(Containers, PositionsOutOfRangeYieldNone) {
    auto list = Parsed<TqxJSONlist>("[1,2]");
    ASSERT_NE(list, nullptr);
    for (std::int32_t position : {-1, 2, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(list->ItemAt(position), nullptr) << position;
        std::string name;
        EXPECT_EQ(list->EntryAt(position, name), nullptr);
    }
}

TEST(Containers, AppendDeleteReplaceAndFind) {
    TqxJSONlist list;
    EXPECT_EQ(list.AppendItem(nullptr), -1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list.AppendItem(Number(i)), i);
    }
    TqxJSONbase* last = list.ItemAt(3);
    list.DeleteItemAt(1); // the last item moves into the gap
    EXPECT_EQ(TreeText(&list), "[0,3,2]");
    EXPECT_EQ(list.IndexOfItem(last), 1);
    list.DeleteItemAt(2);
    list.DeleteItemAt(7);
    EXPECT_EQ(TreeText(&list), "[0,3]");
    list.ReplaceItemAt(0, Text(u"z"));
    list.ReplaceItemAt(5, Text(u"ignored"));
    list.ReplaceItemAt(1, nullptr);
    EXPECT_EQ(TreeText(&list), R"(["z",3])");
    TqxJSONnull stranger;
    EXPECT_EQ(list.IndexOfItem(&stranger), -1);

    std::string name;
    EXPECT_EQ(TreeText(list.EntryAt(1, name)), "3");
    EXPECT_EQ(name, "1");
}

TEST(Containers, ObjectsHoldOnlyMembers) {
    TqxJSONobject object(true);
    EXPECT_THROW(object.AppendItem(Number(1)), InvalidCastError);
    object.AppendItem(Member(u"a", Number(1)));
    EXPECT_THROW(object.ReplaceItemAt(0, Text(u"x")), InvalidCastError);
    EXPECT_EQ(TreeText(&object), R"({"a":1})");
}

TEST(Objects, EntryAtGivesNameAndTheValueOfTheFirstMemberOfThatName) {
    auto object = Parsed<TqxJSONobject>(R"({"a":1,"b":2,"a":3,"":4})");
    ASSERT_NE(object, nullptr);
    std::string name;
    EXPECT_EQ(TreeText(object->EntryAt(1, name)), "2");
    EXPECT_EQ(name, "b");
    EXPECT_EQ(TreeText(object->EntryAt(2, name)), "1");
    EXPECT_EQ(name, "a");
    // An empty name selects nothing by position.
    EXPECT_EQ(object->EntryAt(3, name), nullptr);
    EXPECT_EQ(name, "");
    EXPECT_EQ(object->MemberNameAt(9), u"");
    EXPECT_EQ(object->ValueAtPosition(-1), nullptr);
}

TEST(Objects, IndexedAndScanningObjectsAnswerAlike) {
    TqxJSONobject indexed(true);
    TqxJSONobject scanning(false);
    const char16_t* names[] = {u"m", u"c", u"x", u"c", u"a", u"\u00e9", u"B", u""};
    for (int i = 0; i < 8; ++i) {
        indexed.AppendItem(Member(names[i], Number(i)));
        scanning.AppendItem(Member(names[i], Number(i)));
    }
    for (const char16_t* probe : {u"m", u"c", u"x", u"a", u"\u00e9", u"B", u"", u"b", u"zz"}) {
        EXPECT_EQ(indexed.PositionOfName(probe), scanning.PositionOfName(probe));
        EXPECT_EQ(TreeText(indexed.MemberByName(probe)), TreeText(scanning.MemberByName(probe)));
    }
    EXPECT_EQ(indexed.PositionOfName(u"c"), 1);
    EXPECT_EQ(scanning.NameIndex().NameCount(), 0u);
}

TEST(Objects, IndexFollowsDeletedAndReplacedMembers) {
    TqxJSONobject object(true);
    object.AppendItem(Member(u"a", Number(0)));
    object.AppendItem(Member(u"b", Number(1)));
    object.AppendItem(Member(u"c", Number(2)));
    object.DeleteItemAt(0); // "c" moves to position 0
    EXPECT_EQ(object.PositionOfName(u"c"), 0);
    EXPECT_EQ(object.PositionOfName(u"a"), -1);
    object.ReplaceItemAt(1, Member(u"d", Number(5)));
    EXPECT_EQ(object.MemberByName(u"b"), nullptr);
    EXPECT_EQ(TreeText(object.MemberByName(u"d")), "5");
    object.DeleteItemAt(1);
    EXPECT_EQ(object.MemberByName(u"d"), nullptr);
}

TEST(TypedReads, MatchingClassesMissingItemsAndWrongClasses) {
    auto list = Parsed<TqxJSONlist>(R"([2.9, -2.9, "t\u00e9xt", true, null, 2147483647.5,
                                        -2147483648.9, 2147483648, -2147483649, 1e300])");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->IntAt(0), 2);
    EXPECT_EQ(list->IntAt(1), -2);
    EXPECT_EQ(list->IntAt(5), INT32_MAX);
    EXPECT_EQ(list->IntAt(6), INT32_MIN);
    EXPECT_THROW(list->IntAt(7), ConvertError);
    EXPECT_THROW(list->IntAt(8), ConvertError);
    EXPECT_THROW(list->IntAt(9), ConvertError);
    EXPECT_DOUBLE_EQ(list->DoubleAt(0), 2.9);
    EXPECT_EQ(list->WideTextAt(2), u"t\u00e9xt");
    EXPECT_EQ(list->TextAt(2), "t\xC3\xA9xt");
    EXPECT_TRUE(list->BooleanAt(3));

    EXPECT_THROW(list->IntAt(2), InvalidCastError);
    EXPECT_THROW(list->DoubleAt(3), InvalidCastError);
    EXPECT_THROW(list->TextAt(0), InvalidCastError);
    EXPECT_THROW(list->WideTextAt(4), InvalidCastError);
    EXPECT_THROW(list->BooleanAt(2), InvalidCastError);

    EXPECT_EQ(list->IntAt(10), 0);
    EXPECT_EQ(list->DoubleAt(-1), 0.0);
    EXPECT_EQ(list->TextAt(10), "");
    EXPECT_EQ(list->WideTextAt(10), u"");
    EXPECT_FALSE(list->BooleanAt(10));
}

TEST(TypedReads, ObjectsReadTheValueOfTheMemberNamedAtThePosition) {
    auto object = Parsed<TqxJSONobject>(R"({"n":"7","n":8,"i":41.99,"b":false})");
    ASSERT_NE(object, nullptr);
    // Position 1 repeats the name "n", so it reads the first "n", a string.
    EXPECT_THROW(object->IntAt(1), InvalidCastError);
    EXPECT_EQ(object->TextAt(1), "7");
    EXPECT_EQ(object->IntAt(2), 41);
    EXPECT_FALSE(object->BooleanAt(3));
    EXPECT_EQ(object->IntAt(4), 0);
}

} // namespace
