#include "pst/messaging/store_nodes.h"

#include <array>

namespace tressimo::pst::columns {
namespace {

// Tags as Outlook stores them, in cell-existence-bit order from bit 2.
constexpr std::array kHierarchy = {
    PropTag{0x3001001F}, PropTag{0x36020003}, PropTag{0x36030003}, PropTag{0x360A000B},
    PropTag{0x0E300102}, PropTag{0x0E330014}, PropTag{0x0E340102}, PropTag{0x0E380003},
    PropTag{0x3613001F}, PropTag{0x66350003}, PropTag{0x66360003},
};

constexpr std::array kContents = {
    PropTag{0x0E170003}, PropTag{0x001A001F}, PropTag{0x0E070003}, PropTag{0x00170003}, PropTag{0x0042001F},
    PropTag{0x0037001F}, PropTag{0x0E060040}, PropTag{0x00390040}, PropTag{0x0E080003}, PropTag{0x0E04001F},
    PropTag{0x0E03001F}, PropTag{0x0057000B}, PropTag{0x0058000B}, PropTag{0x00360003}, PropTag{0x10970003},
    PropTag{0x0070001F}, PropTag{0x00710102}, PropTag{0x30130102}, PropTag{0x65C60003}, PropTag{0x30080040},
    PropTag{0x0E300102}, PropTag{0x0E330014}, PropTag{0x0E340102}, PropTag{0x0E3D0102}, PropTag{0x0E3C0102},
    PropTag{0x0E380003},
};

constexpr std::array kAssocContents = {
    PropTag{0x0E170003}, PropTag{0x001A001F}, PropTag{0x0E070003}, PropTag{0x3001001F}, PropTag{0x70030003},
    PropTag{0x70040102}, PropTag{0x70050102}, PropTag{0x7006001F}, PropTag{0x70070003}, PropTag{0x6800001F},
    PropTag{0x6803000B}, PropTag{0x68051003}, PropTag{0x682F001F},
};

constexpr std::array kSearchContents = {
    PropTag{0x67F10003}, PropTag{0x0E05001F}, PropTag{0x0E170003}, PropTag{0x001A001F}, PropTag{0x0E070003},
    PropTag{0x00170003}, PropTag{0x0042001F}, PropTag{0x0037001F}, PropTag{0x0E060040}, PropTag{0x0E080003},
    PropTag{0x0E04001F}, PropTag{0x0E03001F}, PropTag{0x0057000B}, PropTag{0x0058000B}, PropTag{0x00360003},
    PropTag{0x0E2A000B}, PropTag{0x30080040},
};

constexpr std::array kRecipients = {
    PropTag{0x0E0F000B}, PropTag{0x3002001F}, PropTag{0x3003001F}, PropTag{0x0FFF0102},
    PropTag{0x3001001F}, PropTag{0x0C150003}, PropTag{0x300B0102}, PropTag{0x0FF90102},
    PropTag{0x0FFE0003}, PropTag{0x39000003}, PropTag{0x3A40000B}, PropTag{0x39FF001F},
};

constexpr std::array kAttachments = {
    PropTag{0x370B0003},
    PropTag{0x0E200003},
    PropTag{0x37050003},
    PropTag{0x3704001F},
};

// The columns of the attachment tables Outlook makes for its own messages (a superset of the
// template's), so that a view or search of attachments (the contact picture) finds its column.
constexpr std::array kMessageAttachments = {
    PropTag{0x370B0003}, PropTag{0x0E200003}, PropTag{0x37050003}, PropTag{0x3704001F}, PropTag{0x370A0102},
    PropTag{0x370D001F}, PropTag{0x3708001F}, PropTag{0x3707001F}, PropTag{0x3703001F}, PropTag{0x3001001F},
    PropTag{0x370F0102}, PropTag{0x3711001F}, PropTag{0x3713001F}, PropTag{0x3712001F}, PropTag{0x370E001F},
    PropTag{0x69090003}, PropTag{0x7FFD0003}, PropTag{0x7FFB0040}, PropTag{0x7FFC0040}, PropTag{0x7FFA0003},
    PropTag{0x7FFE000B}, PropTag{0x7FFF000B}, PropTag{0x7FF90040}, PropTag{0x3719001F}, PropTag{0x371A001F},
    PropTag{0x37140003},
};

constexpr std::array kReceiveFolders = {PropTag{0x66050003}, PropTag{0x001A001F}};

constexpr std::array kOutgoingQueue = {PropTag{0x0E140003}, PropTag{0x0E100003}, PropTag{0x00390040}};

constexpr std::array kChangeTracking = {PropTag{0x0E330014}, PropTag{0x0E370102}, PropTag{0x0E380003}};

constexpr std::array kChangeTracking2 = {
    PropTag{0x0E3E0102}, PropTag{0x0E310102}, PropTag{0x0E300102}, PropTag{0x0E380003},
    PropTag{0x0E340102}, PropTag{0x0E330014}, PropTag{0x001A001F},
};

constexpr std::array kChangeTracking3 = {PropTag{0x30070040}, PropTag{0x0E330014}};

} // namespace

std::span<const PropTag> hierarchy()
{
    return kHierarchy;
}
std::span<const PropTag> contents()
{
    return kContents;
}
std::span<const PropTag> assocContents()
{
    return kAssocContents;
}
std::span<const PropTag> searchContents()
{
    return kSearchContents;
}
std::span<const PropTag> recipients()
{
    return kRecipients;
}
std::span<const PropTag> attachments()
{
    return kAttachments;
}
std::span<const PropTag> messageAttachments()
{
    return kMessageAttachments;
}
std::span<const PropTag> receiveFolders()
{
    return kReceiveFolders;
}
std::span<const PropTag> outgoingQueue()
{
    return kOutgoingQueue;
}
std::span<const PropTag> changeTracking()
{
    return kChangeTracking;
}
std::span<const PropTag> changeTracking2()
{
    return kChangeTracking2;
}
std::span<const PropTag> changeTracking3()
{
    return kChangeTracking3;
}

} // namespace tressimo::pst::columns
