#pragma once
// The document model: one class per kind of node, all derived from TqxJSONbase. Containers own
// their items, a member owns its value; a tree is not synchronised.

#include "QxBalTree.h"
#include "QxNodeArena.h"
#include "ScalarValue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum TqxJSONkind : int {
    jsBase = 0,
    jsNumber = 1,
    jsString = 2,
    jsBoolean = 3,
    jsNull = 4,
    jsList = 5,
    jsObject = 6,
};

class TqxJSONbase {
public:
    virtual ~TqxJSONbase() = default;
    TqxJSONbase(const TqxJSONbase&) = delete;
    TqxJSONbase& operator=(const TqxJSONbase&) = delete;

    // The operations every node answers, in the order of the class's dispatch table. The
    // defaults are what a node without a value and without children answers.
    virtual ScalarValue ReadValue() const;
    virtual void WriteValue(const ScalarValue& value);
    virtual TqxJSONbase* ItemAt(std::int32_t position) const;
    virtual void ReplaceItemAt(std::int32_t position, std::unique_ptr<TqxJSONbase> node);
    virtual std::int32_t ItemCount() const;
    virtual TqxJSONbase* Lookup(const ScalarValue& key);
    virtual int Kind() const;
    virtual std::string KindName() const;

    // A node comes from the heap, or from the parser's arena; either way deleting it, as its
    // owner's unique_ptr does, gives the memory back where it came from.
    static void* operator new(std::size_t size) { return TqxNodeArena::AllocateOnHeap(size); }
    static void* operator new(std::size_t size, TqxNodeArena& arena) {
        return arena.Allocate(size);
    }
    static void operator delete(void* node, std::size_t size) { TqxNodeArena::Release(node, size); }
    static void operator delete(void* node, TqxNodeArena&) { TqxNodeArena::Release(node, 0); }

protected:
    TqxJSONbase() = default;
};

class TqxJSONnumber : public TqxJSONbase {
public:
    TqxJSONnumber() = default;
    explicit TqxJSONnumber(long double value) : value_(value) {}

    ScalarValue ReadValue() const override;
    void WriteValue(const ScalarValue& value) override;
    int Kind() const override { return jsNumber; }
    std::string KindName() const override { return "jsNumber"; }

    long double Value() const { return value_; }

private:
    long double value_ = 0;
};

class TqxJSONstring : public TqxJSONbase {
public:
    TqxJSONstring() = default;
    explicit TqxJSONstring(std::u16string value) : value_(std::move(value)) {}

    ScalarValue ReadValue() const override { return ScalarValue(value_); }
    void WriteValue(const ScalarValue& value) override { value_ = value.ToWideText(); }
    int Kind() const override { return jsString; }
    std::string KindName() const override { return "jsString"; }

    const std::u16string& Value() const { return value_; }

private:
    std::u16string value_;
};

class TqxJSONboolean : public TqxJSONbase {
public:
    TqxJSONboolean() = default;
    explicit TqxJSONboolean(bool value) : value_(value) {}

    ScalarValue ReadValue() const override { return ScalarValue(value_); }
    void WriteValue(const ScalarValue& value) override { value_ = value.ToBoolean(); }
    int Kind() const override { return jsBoolean; }
    std::string KindName() const override { return "jsBoolean"; }

    bool Value() const { return value_; }

private:
    bool value_ = false;
};

class TqxJSONnull : public TqxJSONbase {
public:
    TqxJSONnull() = default;

    int Kind() const override { return jsNull; }
    std::string KindName() const override { return "jsNull"; }
};

// One member of an object: a name and the value it owns (which may be none).
class TqxJSONobjectmethod : public TqxJSONbase {
public:
    TqxJSONobjectmethod() = default;
    TqxJSONobjectmethod(std::u16string name, std::unique_ptr<TqxJSONbase> value)
        : name_(std::move(name)), value_(std::move(value)) {}

    const std::u16string& Name() const { return name_; }
    void SetName(std::u16string name) { name_ = std::move(name); }
    TqxJSONbase* Value() const { return value_.get(); }
    void SetValue(std::unique_ptr<TqxJSONbase> value) { value_ = std::move(value); }

private:
    std::u16string name_;
    std::unique_ptr<TqxJSONbase> value_;
};

// The ordered, owning list of children shared by arrays and objects.
class TqxJSONcustomlist : public TqxJSONbase {
public:
    // Destroys the children last first.
    ~TqxJSONcustomlist() override;

    TqxJSONbase* ItemAt(std::int32_t position) const override;
    void ReplaceItemAt(std::int32_t position, std::unique_ptr<TqxJSONbase> node) override;
    std::int32_t ItemCount() const override;
    // Room for this many children in all, for a caller that knows the count beforehand.
    void ReserveItems(std::size_t count) { items_.reserve(count); }

    // The container operations, continuing the dispatch table.
    virtual TqxJSONbase* EntryAt(std::int32_t position, std::string& name) = 0;
    // Appends the node and returns its position; a missing node appends nothing and gives -1.
    virtual std::int32_t AppendItem(std::unique_ptr<TqxJSONbase> node);
    // Destroys the child; the last child moves into its place.
    virtual void DeleteItemAt(std::int32_t position);
    virtual std::int32_t IndexOfItem(const TqxJSONbase* node) const;
    // Typed reads of the child at a position (for an object: the value of the member named at
    // that position). No child gives 0, empty text or false; a child of another class raises
    // InvalidCastError; IntAt of a number outside the 32-bit range raises ConvertError.
    virtual std::int32_t IntAt(std::int32_t position);
    virtual std::string TextAt(std::int32_t position);
    virtual std::u16string WideTextAt(std::int32_t position);
    virtual double DoubleAt(std::int32_t position);
    virtual bool BooleanAt(std::int32_t position);

protected:
    TqxJSONcustomlist() = default;

    // The node the typed reads look at for a position.
    virtual TqxJSONbase* TypedReadTarget(std::int32_t position) = 0;
    // Called after a child was replaced or deleted.
    virtual void ItemsChanged() {}
    bool InRange(std::int32_t position) const {
        return position >= 0 && static_cast<std::size_t>(position) < items_.size();
    }

    std::vector<std::unique_ptr<TqxJSONbase>> items_;
};

class TqxJSONlist : public TqxJSONcustomlist {
public:
    TqxJSONlist() = default;

    TqxJSONbase* Lookup(const ScalarValue& key) override;
    int Kind() const override { return jsList; }
    std::string KindName() const override { return "jsList"; }

    TqxJSONbase* EntryAt(std::int32_t position, std::string& name) override;

protected:
    TqxJSONbase* TypedReadTarget(std::int32_t position) override { return ItemAt(position); }
};

// An object: its members (TqxJSONobjectmethod nodes) in document order, repeated names kept.
// With Indexed set, names are found through the AA tree, and the first member of a name wins.
class TqxJSONobject : public TqxJSONcustomlist {
public:
    explicit TqxJSONobject(bool indexed);

    void ReplaceItemAt(std::int32_t position, std::unique_ptr<TqxJSONbase> node) override;
    TqxJSONbase* Lookup(const ScalarValue& key) override;
    int Kind() const override { return jsObject; }
    std::string KindName() const override { return "jsObject"; }

    TqxJSONbase* EntryAt(std::int32_t position, std::string& name) override;
    // Only members can be appended (anything else raises InvalidCastError); an indexed object
    // also enters the member's name into its index, unless the name is already there.
    std::int32_t AppendItem(std::unique_ptr<TqxJSONbase> node) override;
    // The same for a node already known to be a member.
    std::int32_t AppendMember(std::unique_ptr<TqxJSONobjectmethod> member);
    // Room for this many members in all, in the list and in the name index.
    void ReserveMembers(std::size_t count);

    std::int32_t PositionOfName(std::u16string_view name) const;
    TqxJSONbase* MemberByName(std::u16string_view name) const;
    std::u16string MemberNameAt(std::int32_t position) const;
    // The value of the first member named as the member at the position; none for an empty
    // name or a position out of range.
    TqxJSONbase* ValueAtPosition(std::int32_t position) const;

    bool Indexed() const { return indexed_; }
    const TqxBalTree& NameIndex() const { return names_; }

protected:
    TqxJSONbase* TypedReadTarget(std::int32_t position) override {
        return ValueAtPosition(position);
    }
    void ItemsChanged() override;

private:
    const TqxJSONobjectmethod& MemberAt(std::int32_t position) const {
        return static_cast<const TqxJSONobjectmethod&>(*items_[static_cast<std::size_t>(position)]);
    }

    bool indexed_;
    TqxBalTree names_;
};
