#include "pst/check/property_context.h"

#include "pst/check/bth.h"

namespace tressimo::pst::check {

Bytes resolveHnid(const LtpNode& node, const Heap& heap, std::uint32_t hnid)
{
    if (hnid == 0)
        return {};
    if (isHid(hnid)) {
        const ByteView v = heap.item(hnid);
        return Bytes(v.begin(), v.end());
    }
    return node.subnodeData(hnid);
}

std::optional<std::string> valueShapeProblem(std::uint16_t type, const Bytes& data)
{
    if (!isKnownType(type))
        return "type " + hex(type) + " is not a property type";
    const std::uint16_t base = type & ~proptype::MultiValued;
    if (!isMultiValued(type)) {
        if (const std::size_t size = fixedSize(type); size != 0 && data.size() != size)
            return std::string(typeName(type)) + " needs " + std::to_string(size) + " bytes, found " +
                   std::to_string(data.size());
        if (base == proptype::Unicode && data.size() % 2 != 0)
            return "a UTF-16 string of odd length " + std::to_string(data.size());
        return std::nullopt;
    }
    try {
        for (const Bytes& e : PropertyValue(type, data).elements())
            if (base == proptype::Unicode && e.size() % 2 != 0)
                return "a UTF-16 element of odd length " + std::to_string(e.size());
    } catch (const FormatError& e) {
        return e.what();
    }
    return std::nullopt;
}

PropertyMap readPropertyContext(const LtpNode& node, Findings* findings)
{
    const Heap heap(node.blocks, findings, node.where);
    return readPropertyContext(node, heap, findings);
}

PropertyMap readPropertyContext(const LtpNode& node, const Heap& heap, Findings* findings)
{
    if (heap.clientSignature() != static_cast<std::uint8_t>(HeapClient::Properties)) {
        if (findings)
            findings->error("PC_HEAP_CLIENT", node.where, "heap client " + hex(0xBC) + " (property context)",
                            hex(heap.clientSignature()));
        throw FormatError(node.where + ": not a property context");
    }
    const Bth bth = readBth(heap, heap.userRoot(), findings);
    if (bth.header.keySize != 2 || bth.header.dataSize != 6) {
        if (findings)
            findings->error("PC_BTH", node.where, "cbKey 2, cbEnt 6",
                            "cbKey " + std::to_string(bth.header.keySize) + ", cbEnt " +
                                std::to_string(bth.header.dataSize));
        throw FormatError(node.where + ": the property BTH has the wrong record sizes");
    }
    PropertyMap props;
    for (const BthRecord& r : bth.records) {
        const std::uint16_t id = getU16(r.key.data());
        const std::uint16_t type = getU16(r.data.data());
        const std::uint32_t hnid = getU32(r.data.data() + 2);
        const std::uint32_t tag = makeTag(id, type);
        auto where = [&] { return node.where + " property " + tagHex(tag); };
        if (!isKnownType(type)) {
            if (findings)
                findings->error("PC_TYPE", where(), "a property type", hex(type));
            continue;
        }
        Bytes value;
        const std::size_t size = fixedSize(type);
        if (!isMultiValued(type) && size != 0 && size <= 4) {
            // Values of at most four bytes sit in dwValueHnid itself ([MS-PST] 2.3.3.3).
            value.assign(r.data.begin() + 2, r.data.begin() + 2 + size);
        } else {
            try {
                value = resolveHnid(node, heap, hnid);
            } catch (const FormatError& e) {
                if (findings)
                    findings->error("PC_VALUE_REF", where(), "an HNID naming a heap allocation or subnode",
                                    std::string(e.what()));
                continue;
            }
            // HNID 0 is an empty value: right for texts, binaries and multi-valued types (whose
            // empty value has no bytes), wrong for a fixed-size value that must have its bytes.
            if (hnid == 0 && size != 0 && !isMultiValued(type) && findings)
                findings->error("PC_VALUE_REF", where(),
                                "an HNID for a " + std::string(typeName(type)) + " value", "HNID 0");
        }
        if (const auto problem = valueShapeProblem(type, value)) {
            if (findings)
                findings->error("PC_VALUE_SIZE", where(), "a value that fits its type", *problem);
            continue;
        }
        props[tag] = PropertyValue(type, std::move(value));
    }
    return props;
}

} // namespace tressimo::pst::check
