// Writes the generated seeds of the fuzz targets: .contact files in the shape Windows writes
// them (UTF-8, UTF-16 and Windows-1252), and small stores of our own (empty, one contact,
// several) next to copies of the given stores, so damage starts from valid files. Stores are
// cut after their last non-zero 512 bytes: the rest is unused allocation space, and the
// fuzzer's time is better spent on the structures.
//
//   fuzz-make-seeds CONTACT_DIR PST_DIR [STORE...]

#include "tests/convert/sample_contacts.h"
#include "tests/fuzz/fuzz_store.h"

#include <fstream>
#include <iostream>

using namespace tressimo;

namespace {

void save(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

void saveStore(const std::filesystem::path& path, const pst::Bytes& bytes)
{
    std::size_t used = bytes.size();
    while (used > 0 && bytes[used - 1] == 0)
        --used;
    used = std::min(bytes.size(), (used + 511) / 512 * 512);
    save(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), used));
}

// UTF-16 LE with a byte order mark; the text is ASCII but for its Latin-1 letters.
std::string utf16(std::string_view latin1)
{
    std::string out = "\xFF\xFE";
    for (char c : latin1) {
        out += c;
        out += '\0';
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: fuzz-make-seeds CONTACT_DIR PST_DIR [STORE...]\n";
        return 2;
    }
    const std::filesystem::path contactDir = argv[1], pstDir = argv[2];
    std::filesystem::create_directories(contactDir);
    std::filesystem::create_directories(pstDir);

    std::vector<std::string> contacts = {testing::typicalContactXml(1), testing::sampleContactXml(2),
                                         testing::sampleContactXml(3, 200), testing::sampleContactXml(21)};
    const std::string latin1 = testing::contactDocument(testing::name(
        testing::element("c:GivenName", "J\xFCrgen") + testing::element("c:FamilyName", "M\xE9ndez")));
    contacts.push_back(utf16(latin1));
    contacts.push_back("<?xml version=\"1.0\" encoding=\"windows-1252\"?>" +
                       latin1.substr(latin1.find("?>") + 2));
    for (std::size_t i = 0; i < contacts.size(); ++i)
        save(contactDir / ("generated" + std::to_string(i) + ".contact"), contacts[i]);

    const std::vector<std::vector<std::string_view>> stores = {
        {}, {contacts[0]}, {contacts[1], contacts[2], contacts[3]}};
    for (std::size_t i = 0; i < stores.size(); ++i)
        saveStore(pstDir / ("ours" + std::to_string(i) + ".pst"), fuzz::writeStore(stores[i]).bytes);
    for (int i = 3; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in.is_open())
            throw std::runtime_error(std::string("cannot read ") + argv[i]);
        const pst::Bytes bytes{std::istreambuf_iterator<char>(in), {}};
        saveStore(pstDir / std::filesystem::path(argv[i]).filename(), bytes);
    }
    return 0;
}
