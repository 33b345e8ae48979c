#!/usr/bin/python3
"""Writes the golden interchange documents of the XML tests.

An independent writer of the interchange format, so that the expected files do not come from the code
under test. Run it from this folder; it rewrites every file it owns. The ECU is the one the tests
build in XmlTestData.h: keep both in step.
"""
import base64

CRLF = "\r\n"
ECU_NS = "http://diagnostics.zep.example/2002/ZepECU"
IDENT_NS = "http://diagnostics.zep.example/2002/ValdoreIdent"
STYLE = "http://diagnostics.zep.example/OMT3300/ZEPECUPreview.xsl"


def seq(first, n):
    return bytes((first + i) & 0xFF for i in range(n))


# The ECU: address 16, fill pattern FFFF, an application area with an exclusion inside it and a tuning
# area with an exclusion that runs past its end.
FILL = "FFFF"
APP_AREA = (0x1000, 0x1000, [(0x1F00, 0x20)])
TUNING_AREA = (0x2000, 0x100, [(0x20F0, 0x10)])  # the exclusion 0x20F0+0x20 clipped to the area

# The application: its code in the application area (the block at 0x1F18 loses its first 8 bytes to the
# exclusion), its default tuning data in the tuning area.
APP_CODE = [(0x1000, seq(0x00, 16)), (0x1F20, seq(0x48, 8))]
APP_TUNING = [(0x2000, seq(0x20, 16))]
APP_STAMP = ("0A1B", "5", "ZEP", "0002", "0123456789", "9876543210", "00C1", "DEADBEEF", "HOMOL-0001")
TUNINGS = [
    ("T1", [(0x2004, bytes.fromhex("AABBCCDD"))],
     ("7001", "6", "ABC", "0003", "1111111111", "2222222222", "00C2", "00000001", "HOMOL-T1")),
    ("T2", [(0x2010, bytes.fromhex("010203"))],
     ("7002", "7", "ABC", "0004", "3333333333", "4444444444", "00C3", "00000002", "")),
]


def segment(at, data, b64):
    if b64:
        return (CRLF + f'<segment at="{at}" dt:dt="bin.base64">' + CRLF + base64.b64encode(data).decode() + CRLF
                + "</segment>")
    return CRLF + f'<segment at="{at}">' + data.hex().upper() + "</segment>"


def tuning_data(name, blocks, stamp, b64):
    software, diag, supplier, version, pie, hardware, calibration, reserve, approval = stamp
    out = CRLF + f'<tuningdata Name="{name}">' + CRLF
    out += "".join(segment(at, data, b64) for at, data in blocks)
    out += CRLF + f'<ProgrammingStamp xmlns="{IDENT_NS}">'
    out += CRLF + (f'<Identification Application="{software}" Diagnostic="{diag}" Supplier="{supplier}"'
                   f' Version="{version}">')
    out += CRLF + f'<Order Number="{pie}"/>'
    out += CRLF + f'<Hardware Number="{hardware}"/>'
    out += CRLF + f'<Tuning Number="{calibration}"/>'
    out += CRLF + f'<SpecificData Number="{reserve}"/>'
    out += "</Identification>"
    out += CRLF + f'<Approval Number="{approval}"/>'
    return out + "</ProgrammingStamp></tuningdata>"


def erase(area, tuning):
    first, count, exclusions = area
    out = CRLF + f'<erase><segment at="{first}" repeat="{count // (len(FILL) // 2)}">{FILL}</segment>'
    if tuning:
        out += "<tuning/>"
    out += "".join(f'<nowrite at="{at}" length="{length}"/>' for at, length in exclusions)
    return out + "</erase>" + CRLF * len(exclusions)


def boot(name):
    out = f'<Boot xmlns="{ECU_NS}" Name="{name}">'
    out += CRLF + '<Function Name="Engine control unit"/>'
    out += CRLF + "<PowerSupply><Ground/><Vbat/><AfterContact/></PowerSupply>"
    out += CRLF + ('<K BaudRate="10400"><KWP><ISO8><L/><KW1 Value="13"/><KW2 Timeout="300" Value="143"/>'
                   '<FirstRequest Delay="25"/></ISO8><KW2_ Delay="25"/></KWP><Address Value="16"/>'
                   '<InterByte Delay="5"/><ReplyToRequest Delay="5"/><RequestToReply Timeout="300"/>'
                   '<TesterPresent Delay="3000"/><OnError Delay="300"/></K>')
    out += (CRLF + "<CAN>" + CRLF + '<SendId><CANId Value="2016"/></SendId>' + CRLF
            + '<ReceiveId><CANId Value="1016"/></ReceiveId></CAN>')
    out += CRLF + '<Supplier Name="ZEP" Hex="5A4550"/>'
    out += CRLF + '<InterByte Delay="10"/>'
    out += CRLF + '<ReplyToRequest Delay="20"/>'
    out += CRLF + '<maxdownload Value="247"/>'
    out += CRLF + '<upload RL="132"/>'
    out += CRLF + '<IdentificationType Value="32768"/>'
    return out + erase(APP_AREA, False) + erase(TUNING_AREA, True)


def document(b64):
    out = '<?xml version="1.0" encoding="UTF-8"?>' + CRLF
    out += f'<?xml-stylesheet type="text/xsl" href="{STYLE}"?>' + CRLF
    out += '<xml xmlns:dt="urn:schemas-microsoft-com:datatypes">'
    out += boot("Injection &amp; &lt;co>")
    out += '<application Name="SW 1.0">'
    out += "".join(segment(at, data, b64) for at, data in APP_CODE)
    out += tuning_data("default tuning", APP_TUNING, APP_STAMP, b64)
    out += "".join(tuning_data(name, blocks, stamp, b64) for name, blocks, stamp in TUNINGS)
    out += "</application></Boot></xml>" + CRLF
    return out.encode()


for name, b64 in (("ecu.base64.xml", True), ("ecu.binhex.xml", False)):
    with open(name, "wb") as f:
        f.write(document(b64))
