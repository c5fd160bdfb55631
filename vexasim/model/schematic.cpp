// Schematics, their elements and the elements' parameters.
#include "vexasim/model/object.h"
#include "vexasim/model/objects.h"

namespace vexasim::model {

namespace {

// The first item of a name, or null.
template <class V>
auto* Named(V& items, const std::string& name) {
    for (auto& item : items)
        if (item.name == name) return &item;
    return static_cast<decltype(&items[0])>(nullptr);
}

class Schematics final : public Object<IVexaSchematics> {
public:
    explicit Schematics(const StatePtr& state) : Object(state, IID_IVexaSchematics) {}

    STDMETHODIMP get_Count(LONG* count) override {
        return Guard("Schematics.Count", count, [&] {
            *count = static_cast<LONG>(state().project.schematics.size());
            return S_OK;
        });
    }
    STDMETHODIMP Item(VARIANT index, IVexaSchematic** out) override {
        return Guard("Schematics.Item", out, [&] {
            auto& items = state().project.schematics;
            const Index i = ReadIndex(index, "Schematics.Item");
            const SchematicData* s =
                i.byName ? Named(items, i.name) : &items[Position(i.number, items.size(), "Schematics.Item")];
            if (s) *out = NewSchematic(shared(), s->id);
            return S_OK;
        });
    }
};

class Schematic final : public Object<IVexaSchematic> {
public:
    Schematic(const StatePtr& state, long id) : Object(state, IID_IVexaSchematic), id_(id) {}

    STDMETHODIMP get_Name(BSTR* name) override {
        return Guard("Schematic.Name", name, [&] { return PutText(name, state().Schematic(id_).name); });
    }
    STDMETHODIMP get_Elements(IVexaElements** out) override {
        return Guard("Schematic.Elements", out, [&] {
            state().Schematic(id_);
            *out = NewElements(shared(), id_);
            return S_OK;
        });
    }

private:
    long id_;
};

class Elements final : public Object<IVexaElements> {
public:
    Elements(const StatePtr& state, long schematic) : Object(state, IID_IVexaElements), schematic_(schematic) {}

    STDMETHODIMP get_Count(LONG* count) override {
        return Guard("Elements.Count", count, [&] {
            *count = static_cast<LONG>(state().Schematic(schematic_).elements.size());
            return S_OK;
        });
    }
    STDMETHODIMP Item(VARIANT index, IVexaElement** out) override {
        return Guard("Elements.Item", out, [&] {
            auto& items = state().Schematic(schematic_).elements;
            const Index i = ReadIndex(index, "Elements.Item");
            const ElementData* e =
                i.byName ? Named(items, i.name) : &items[Position(i.number, items.size(), "Elements.Item")];
            if (e) *out = NewElement(shared(), schematic_, e->id);
            return S_OK;
        });
    }

private:
    long schematic_;
};

class Element final : public Object<IVexaElement> {
public:
    Element(const StatePtr& state, long schematic, long id)
        : Object(state, IID_IVexaElement), schematic_(schematic), id_(id) {}

    STDMETHODIMP get_Name(BSTR* name) override {
        return Guard("Element.Name", name, [&] { return PutText(name, state().Element(schematic_, id_).name); });
    }
    STDMETHODIMP get_Parameters(IVexaParameters** out) override {
        return Guard("Element.Parameters", out, [&] {
            state().Element(schematic_, id_);
            *out = NewParameters(shared(), schematic_, id_);
            return S_OK;
        });
    }

private:
    long schematic_;
    long id_;
};

class Parameters final : public Object<IVexaParameters> {
public:
    Parameters(const StatePtr& state, long schematic, long element)
        : Object(state, IID_IVexaParameters), schematic_(schematic), element_(element) {}

    STDMETHODIMP get_Count(LONG* count) override {
        return Guard("Parameters.Count", count, [&] {
            *count = static_cast<LONG>(state().Element(schematic_, element_).parameters.size());
            return S_OK;
        });
    }
    STDMETHODIMP Item(VARIANT index, IVexaParameter** out) override {
        return Guard("Parameters.Item", out, [&] {
            auto& items = state().Element(schematic_, element_).parameters;
            const Index i = ReadIndex(index, "Parameters.Item");
            const ParameterData* p =
                i.byName ? Named(items, i.name) : &items[Position(i.number, items.size(), "Parameters.Item")];
            if (p) *out = NewParameter(shared(), ParameterPath{schematic_, element_, p->id});
            return S_OK;
        });
    }

private:
    long schematic_;
    long element_;
};

// A parameter object registers its identity with the state, so that the simulator
// can bind a variable to the parameter it stands for.
class Parameter final : public Object<IVexaParameter> {
public:
    Parameter(const StatePtr& state, const ParameterPath& path) : Object(state, IID_IVexaParameter), path_(path) {
        this->state().parameterObjects[Identity()] = path_;
    }
    ~Parameter() override { state().parameterObjects.erase(Identity()); }

    STDMETHODIMP get_Name(BSTR* name) override {
        return Guard("Parameter.Name", name, [&] { return PutText(name, state().Parameter(path_).name); });
    }
    STDMETHODIMP get_Value(double* value) override {
        return Guard("Parameter.Value", value, [&] {
            *value = state().Parameter(path_).value;
            return S_OK;
        });
    }
    STDMETHODIMP put_Value(double value) override {
        return Guard("Parameter.put_Value", [&] {
            state().Parameter(path_).value = value;
            return S_OK;
        });
    }

private:
    const IUnknown* Identity() const { return static_cast<const IVexaParameter*>(this); }

    ParameterPath path_;
};

}  // namespace

IVexaSchematics* NewSchematics(const StatePtr& state) { return new Schematics(state); }
IVexaSchematic* NewSchematic(const StatePtr& state, long schematic) { return new Schematic(state, schematic); }
IVexaElements* NewElements(const StatePtr& state, long schematic) { return new Elements(state, schematic); }
IVexaElement* NewElement(const StatePtr& state, long schematic, long element) {
    return new Element(state, schematic, element);
}
IVexaParameters* NewParameters(const StatePtr& state, long schematic, long element) {
    return new Parameters(state, schematic, element);
}
IVexaParameter* NewParameter(const StatePtr& state, const ParameterPath& path) { return new Parameter(state, path); }

}  // namespace vexasim::model
