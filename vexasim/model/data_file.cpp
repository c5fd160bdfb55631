// The project's data files.
#include "vexasim/model/object.h"
#include "vexasim/model/objects.h"

namespace vexasim::model {

namespace {

class DataFiles final : public Object<IVexaDataFiles> {
public:
    explicit DataFiles(const StatePtr& state) : Object(state, IID_IVexaDataFiles) {}

    STDMETHODIMP get_Count(LONG* count) override {
        return Guard("DataFiles.Count", count, [&] {
            *count = static_cast<LONG>(state().project.dataFiles.size());
            return S_OK;
        });
    }
    STDMETHODIMP Item(VARIANT index, IVexaDataFile** out) override {
        return Guard("DataFiles.Item", out, [&] {
            auto& files = state().project.dataFiles;
            const Index i = ReadIndex(index, "DataFiles.Item");
            if (i.byName) {
                for (const DataFileData& d : files) {
                    if (d.name == i.name) {
                        *out = NewDataFile(shared(), d.id);
                        break;
                    }
                }
                return S_OK;
            }
            *out = NewDataFile(shared(), files[Position(i.number, files.size(), "DataFiles.Item")].id);
            return S_OK;
        });
    }
    // The data file lives in the project; nothing is written to fileName.
    STDMETHODIMP Add(BSTR name, BSTR fileName, LONG flag, LONG type, IVexaDataFile** out) override {
        return Guard("DataFiles.Add", out, [&] {
            DataFileData d;
            d.name = Utf8(name);
            d.fileName = Utf8(fileName);
            d.flag = flag;
            d.type = type;
            auto& files = state().project.dataFiles;
            files.push_back(std::move(d));
            state().AssignIds();
            *out = NewDataFile(shared(), files.back().id);
            return S_OK;
        });
    }
};

class DataFile final : public Object<IVexaDataFile> {
public:
    DataFile(const StatePtr& state, long id) : Object(state, IID_IVexaDataFile), id_(id) {}

    STDMETHODIMP get_Name(BSTR* name) override {
        return Guard("DataFile.Name", name, [&] { return PutText(name, state().DataFile(id_).name); });
    }
    STDMETHODIMP get_Text(BSTR* text) override {
        return Guard("DataFile.Text", text, [&] { return PutText(text, state().DataFile(id_).text); });
    }
    // The text replaces the whole content; a null text empties it.
    STDMETHODIMP put_Text(BSTR text) override {
        return Guard("DataFile.put_Text", [&] {
            DataFileData& d = state().DataFile(id_);
            d.text = Utf8(text);
            return S_OK;
        });
    }

private:
    long id_;
};

}  // namespace

IVexaDataFiles* NewDataFiles(const StatePtr& state) { return new DataFiles(state); }
IVexaDataFile* NewDataFile(const StatePtr& state, long dataFile) { return new DataFile(state, dataFile); }

}  // namespace vexasim::model
