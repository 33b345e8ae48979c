#include "EcuXml.h"

#include "InterchangeDocument.h"
#include "XmlValues.h"

#include "memory/ZepError.h"
#include "text/Addressing.h"
#include "text/TextCatalog.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace zep {

namespace {

constexpr int DivisionByZero = 11;

pugi::xml_node element(pugi::xml_node parent, const char* name) {
    return appendElement(parent, name, xmlns::Ecu);
}

pugi::xml_node element(pugi::xml_node parent, const char* name, const char* attribute, long long value) {
    pugi::xml_node e = element(parent, name);
    e.append_attribute(attribute).set_value(value);
    return e;
}

/** CR LF, then the element, in Boot */
pugi::xml_node line(pugi::xml_node boot, const char* name, const char* attribute, long long value) {
    appendCrLf(boot);
    return element(boot, name, attribute, value);
}

/**
 * The CAN identifiers (send, receive) of an address. With no addressing document both are 0; when the
 * document lacks either one, no CAN element is written.
 */
std::optional<std::pair<std::int32_t, std::int32_t>> canIdentifiers(std::uint8_t address) {
    const Addressing& addressing = Addressing::instance();
    const auto send = addressing.findXid(address);
    const auto receive = addressing.findRid(address);
    if (!send || !receive)
        return std::nullopt;
    return std::make_pair(*send, *receive);
}

void kLine(pugi::xml_node boot, std::uint8_t address) {
    appendCrLf(boot);
    pugi::xml_node k = element(boot, "K");
    k.append_attribute("BaudRate") = 10400;
    pugi::xml_node kwp = element(k, "KWP");
    pugi::xml_node iso8 = element(kwp, "ISO8");
    element(iso8, "L");
    element(iso8, "KW1", "Value", 13);
    pugi::xml_node kw2 = element(iso8, "KW2", "Timeout", 300);
    kw2.append_attribute("Value") = 143;
    element(iso8, "FirstRequest", "Delay", 25);
    element(kwp, "KW2_", "Delay", 25);
    element(k, "Address", "Value", address);
    element(k, "InterByte", "Delay", 5);
    element(k, "ReplyToRequest", "Delay", 5);
    element(k, "RequestToReply", "Timeout", 300);
    element(k, "TesterPresent", "Delay", 3000);
    element(k, "OnError", "Delay", 300);
}

/** one erase element per range of map, with the parts of exclusions that fall inside it */
void eraseAreas(const ZEPEcu& ecu, pugi::xml_node boot, const MemMap& map, const MemMap& exclusions,
                bool tuning) {
    const std::string pattern = ecu.FillPattern.toHex();
    for (const MemRange& range : map) {
        if (ecu.FillPattern.empty())
            throw ZepError(DivisionByZero, tr("ZEPEcu/Messages/createXMLElement/noFillPattern/text",
                                              "Division by zero: ECU {0} has no erased state", ecu.Nom));
        appendCrLf(boot);
        pugi::xml_node erase = element(boot, "erase");
        pugi::xml_node segment = element(erase, "segment", "at", range.address);
        segment.append_attribute("repeat").set_value(
            static_cast<unsigned long long>(range.count / ecu.FillPattern.length()));
        segment.text().set(pattern.c_str());
        if (tuning)
            element(erase, "tuning");
        for (const MemRange& excluded : exclusions) {
            const std::uint64_t start = std::max<std::uint64_t>(range.address, excluded.address);
            const std::uint64_t end = std::min(range.end(), excluded.end());
            if (end <= start)
                continue;
            appendCrLf(boot);
            pugi::xml_node nowrite = element(erase, "nowrite", "at", static_cast<long long>(start));
            nowrite.append_attribute("length").set_value(static_cast<unsigned long long>(end - start));
        }
    }
}

} // namespace

pugi::xml_node CreateXMLElement(const ZEPEcu& ecu, pugi::xml_node parent, const std::string& functionName) {
    pugi::xml_node boot = element(parent, "Boot");
    boot.append_attribute("Name") = ecu.Nom.c_str();
    if (!ecu.Commentaire.empty()) {
        appendCrLf(boot);
        element(boot, "Comment").append_child(pugi::node_cdata).set_value(ecu.Commentaire.c_str());
    }
    appendCrLf(boot);
    element(boot, "Function").append_attribute("Name") = functionName.c_str();
    appendCrLf(boot);
    pugi::xml_node power = element(boot, "PowerSupply");
    element(power, "Ground");
    element(power, "Vbat");
    element(power, "AfterContact");
    kLine(boot, ecu.Address);

    if (const auto can = canIdentifiers(ecu.Address)) {
        appendCrLf(boot);
        pugi::xml_node node = element(boot, "CAN");
        appendCrLf(node);
        element(element(node, "SendId"), "CANId", "Value", can->first);
        appendCrLf(node);
        element(element(node, "ReceiveId"), "CANId", "Value", can->second);
    }

    appendCrLf(boot);
    pugi::xml_node supplier = element(boot, "Supplier");
    supplier.append_attribute("Name") = ecu.CodeFournisseur.value_or("").c_str();
    supplier.append_attribute("Hex") = ecu.SupplierHex.c_str();
    line(boot, "InterByte", "Delay", ecu.InterByteDelay);
    line(boot, "ReplyToRequest", "Delay", ecu.ReplyToRequestDelay);
    line(boot, "maxdownload", "Value", ecu.WriteGranularity);
    line(boot, "upload", "RL", ecu.UploadRL);
    line(boot, "IdentificationType", "Value", ecu.IdentificationType);

    eraseAreas(ecu, boot, ecu.ApplicationMap(), ecu.ApplicationExclusions(), false);
    eraseAreas(ecu, boot, ecu.TuningMap(), ecu.TuningExclusions(), true);
    return boot;
}

pugi::xml_node erasingPattern(const pugi::xml_node& boot) {
    for (const pugi::xml_node& erase : boot.children("erase"))
        if (const pugi::xml_node segment = erase.child("segment"))
            return segment;
    return {};
}

void ReadFromXMLElement(ZEPEcu& ecu, const pugi::xml_node& boot) {
    using namespace xmlvalues;
    ecu.Nom = text(boot, "Name", "Boot/@Name");
    for (const pugi::xml_node& node : boot.children())
        if (node.type() == pugi::node_comment) {
            ecu.Commentaire = node.value();
            break;
        }
    ecu.Address = uint8(child(child(boot, "K", "K"), "Address", "K/Address"), "Value", "K/Address/@Value");

    const pugi::xml_node supplier = child(boot, "Supplier", "Supplier");
    ecu.CodeFournisseur = text(supplier, "Name", "Supplier/@Name");
    ecu.SupplierHex = text(supplier, "Hex", "Supplier/@Hex");
    if (ecu.SupplierHex.size() != 6)
        ecu.SupplierHex = (ecu.SupplierHex + "000000").substr(0, 6);

    ecu.InterByteDelay = int32(child(boot, "InterByte", "InterByte"), "Delay", "InterByte/@Delay");
    ecu.ReplyToRequestDelay =
        int32(child(boot, "ReplyToRequest", "ReplyToRequest"), "Delay", "ReplyToRequest/@Delay");
    ecu.WriteGranularity = int32(child(boot, "maxdownload", "maxdownload"), "Value", "maxdownload/@Value");
    const pugi::xml_node upload = boot.child("upload");
    ecu.UploadRL = upload ? uint8(upload, "RL", "upload/@RL") : ZEPEcu::UploadWithCrc;

    const pugi::xml_node pattern = erasingPattern(boot);
    if (!pattern)
        throw ZepError(errors::Xml,
                       tr("ZEPEcu/Messages/readFromXMLElement/noErasingPattern/text", "No Erasing pattern"));
    const std::string hex = textContent(pattern);
    try {
        ecu.FillPattern.setHex(hex);
    } catch (const ZepError&) {
        invalid(hex, "erase/segment");
    }
    ecu.IdentificationType =
        int32(child(boot, "IdentificationType", "IdentificationType"), "Value", "IdentificationType/@Value");
}

} // namespace zep
