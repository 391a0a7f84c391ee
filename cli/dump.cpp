#include "cli/dump.h"
#include "platform/path_text.h"

#include "cli/command_line.h"
#include "contacts/contact_date.h"
#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"

#include <filesystem>
#include <ostream>

#include <nlohmann/json.hpp>

namespace tressimo::cli {

std::string dumpLine(std::string_view file, bool loaded, std::string_view error,
                     const contacts::ContactRecord& handedOver)
{
    using Json = nlohmann::ordered_json;
    Json record = Json::object();
    for (const contacts::ContactField& field : contacts::kContactFields) {
        const std::string name(field.name);
        if (field.kind == contacts::ContactFieldKind::Text) {
            record[name] = handedOver.*field.text;
        } else {
            const std::optional<double>& date = handedOver.*field.date;
            record[name] = date ? Json(contacts::formatOleDate(*date)) : Json(nullptr);
        }
    }

    // The later members in table order; the photo only as its length in base64 characters.
    Json more = Json::object();
    for (const contacts::ContactField& field : contacts::kMoreContactFields) {
        const std::string name(field.name);
        if (field.kind == contacts::ContactFieldKind::TextList)
            more[name] = handedOver.*field.list;
        else if (field.text == &contacts::ContactRecord::Photo)
            more[name] = handedOver.Photo.size();
        else
            more[name] = handedOver.*field.text;
    }

    Json line = Json::object();
    line["file"] = std::string(file);
    line["loaded"] = loaded;
    line["error"] = loaded ? Json(nullptr) : Json(std::string(error));
    line["record"] = std::move(record);
    line["more"] = std::move(more);
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

int runDump(const std::vector<std::string>& files, std::ostream& out, std::ostream& err)
{
    contacts::ContactRecord record;
    contacts::ContactReaderContext context;
    bool allLoaded = true;
    for (const std::string& file : files) {
        record.reset();
        const std::filesystem::path path = platform::pathFromText(file);
        const contacts::ContactDocument document = contacts::loadContactDocument(path);
        if (document.loaded())
            contacts::DisplayNode(document.document(), record, context);
        else
            allLoaded = false;
        out << dumpLine(file, document.loaded(), document.error(), contacts::handOver(record)) << '\n';
    }
    out.flush();
    if (!out) {
        err << "tressimo-convert: the output could not be written\n";
        return kExitSomeFailed;
    }
    return allLoaded ? kExitSuccess : kExitSomeFailed;
}

} // namespace tressimo::cli
