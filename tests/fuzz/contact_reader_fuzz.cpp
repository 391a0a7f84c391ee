// libFuzzer target: any bytes as a .contact file, through the loader and the reader, must
// end in a record or a reason, never a crash; the reader's open elements all close.

#include "contacts/contact_document.h"
#include "contacts/contact_reader.h"

#include <cstdint>
#include <cstdlib>

using namespace tressimo::contacts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ContactDocument document = ContactDocument::parse({data, data + size}, "fuzz.contact");
    if (document.loaded() == !document.error().empty())
        std::abort();
    if (!document.loaded())
        return 0;
    ContactRecord record;
    ContactReaderContext context;
    DisplayNode(document.document(), record, context);
    if (context.AddressDepth != 0 || context.LabelledValueDepth != 0 || context.OpenEntry)
        std::abort();
    (void)handOver(record);
    return 0;
}
