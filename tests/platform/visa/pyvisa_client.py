#!/usr/bin/python3
"""The VISA library as a client nobody here wrote uses it: PyVISA's ctypes backend loads it by
path and drives a bench of this test's own, as a lab's automation script would.

    pyvisa_client.py LIBRARY BENCH

Without PyVISA the test is skipped (exit 77), unless TRL4_REQUIRE_PYVISA or CI is set, as
scripts/test and CI do: there it fails.
"""
import os
import sys
import tempfile
import unittest
import warnings

LIBRARY, BENCH = sys.argv[1], sys.argv[2]
del sys.argv[1:3]
try:
    import pyvisa
    from pyvisa.constants import AccessModes, InterfaceType, StatusCode
    from pyvisa.constants import EventMechanism, EventType, ResourceAttribute as Attr
except ImportError as error:
    if os.environ.get("TRL4_REQUIRE_PYVISA") or os.environ.get("CI"):
        sys.exit(f"FAIL: PyVISA is required here ({error}); Debian: apt install python3-pyvisa")
    print(f"skipped: no PyVISA ({error})")
    sys.exit(77)

STATE = tempfile.TemporaryDirectory(prefix="trl4-pyvisa-")
os.environ.update(TRL4_BENCH=BENCH, TRL4_STATE_DIR=STATE.name)  # read at the first call
os.environ.pop("TRL4_DRIVER_TRACE", None)
RM = pyvisa.ResourceManager(LIBRARY)
warnings.simplefilter("ignore", pyvisa.errors.VisaIOWarning)  # each status is checked

VOLTMETER, COUNTER = "USB0::0x2F1C::0x0107::VK5400123::INSTR", "GPIB0::11::INSTR"
SECONDARY, SOCKET = "GPIB1::12::5::INSTR", "TCPIP0::10.0.0.8::5025::SOCKET"
BOX_USB, BOX_LAN = "USB0::0x1A2B::0x0004::KSP2101::INSTR", "TCPIP0::10.0.0.7::inst0::INSTR"
SILENT, SERIAL = "TCPIP0::10.0.0.9::inst0::INSTR", "ASRL1::INSTR"
VXI, GPIB_VXI, PXI = "VXI0::24::INSTR", "GPIB-VXI0::72::INSTR", "PXI0::3-15::INSTR"
IDENTITIES = {
    VOLTMETER: "VOLTEK,DMM-7,VK5400123,A.02.01", COUNTER: "VOLTEK,FC-3,FC0311,1.20",
    SECONDARY: "VOLTEK,DMM-7,SEC5,A.02.01", SOCKET: "VOLTEK,FC-3,FC0400,1.20",
    BOX_USB: "ZELKORTECH,KSPBASE,2101,1.07", BOX_LAN: "ZELKORTECH,KSPBASE,3344,1.07",
    SERIAL: "VOLTEK,PSU-2,77,0.9",
}
# Spellings the standard allows of each kind, by the name the search lists.
SPELLINGS = {
    VXI: ["VXI::24", "vxi0::24::instr", "VXI00::24::INSTR"],
    PXI: ["PXI3::15::INSTR", "pxi::3-15", "PXI0::3-15.0::INSTR"],
    COUNTER: ["GPIB::11::INSTR", "GPIB0::11::0::INSTR", "gpib::11"],
    SECONDARY: ["GPIB1::12::5", "gpib1::12::5::instr"],
    VOLTMETER: ["USB::12060::263::VK5400123::INSTR", "usb0::0x2f1c::0x107::VK5400123",
                "USB0::0x2F1C::263::VK5400123::0::INSTR"],
    BOX_USB: ["USB::6699::4::KSP2101", "USB0::0x1A2B::0x0004::KSP2101::0::INSTR"],
    BOX_LAN: ["TCPIP::10.0.0.7::INSTR", "tcpip0::10.0.0.7", "TCPIP::10.0.0.7::inst0"],
    SOCKET: ["TCPIP::10.0.0.8::5025::SOCKET", "tcpip0::10.0.0.8::05025::socket"],
    SERIAL: ["ASRL1", "asrl1::instr"],
}


def error_of(call):
    """The VISA status a call fails with."""
    try:
        call()
    except pyvisa.errors.VisaIOError as error:
        return error.error_code
    raise AssertionError("the call succeeded")


def opened(name, **settings):
    return RM.open_resource(name, read_termination="\n", **settings)


class Names(unittest.TestCase):
    def test_listing_with_expressions(self):
        everything = set(RM.list_resources("?*"))
        self.assertEqual(len(everything), 11)
        self.assertEqual(set(RM.list_resources()), everything - {SOCKET})  # "?*::INSTR"
        self.assertEqual(set(RM.list_resources("GPIB?*")), {COUNTER, SECONDARY, GPIB_VXI})
        self.assertEqual(set(RM.list_resources("GPIB[0-9]*::?*INSTR")), {COUNTER, SECONDARY})
        self.assertEqual(set(RM.list_resources("(USB|ASRL)?*")), {VOLTMETER, BOX_USB, SERIAL})
        self.assertEqual(RM.list_resources("usb?*0x1a2b?*"), (BOX_USB,))
        self.assertEqual(RM.list_resources("GPIB5?*"), ())  # PyVISA's "not found"
        self.assertEqual(error_of(lambda: RM.list_resources("[?*")),
                         StatusCode.error_invalid_expression)

    def test_every_spelling_opens_the_listed_resource(self):
        for listed, spellings in SPELLINGS.items():
            for spelling in spellings:
                message_based = listed in IDENTITIES
                with self.subTest(spelling=spelling), (
                        opened(spelling) if message_based else RM.open_resource(spelling)) as inst:
                    self.assertEqual(inst.resource_name, listed)
                    if message_based:
                        self.assertEqual(inst.query("*IDN?"), IDENTITIES[listed])
        # PyVISA rewrites a GPIB-VXI name into a GPIB one of its own before opening it; given
        # as written, the library opens it.
        session, status = RM.open_bare_resource("gpib-vxi::72")
        self.assertEqual(RM.visalib.get_attribute(session, Attr.vxi_logical_address)[0], 72)
        RM.visalib.close(session)

    def test_resource_info(self):
        info = RM.resource_info("gpib1::12::5")
        self.assertEqual(tuple(info), (InterfaceType.gpib, 1, "INSTR", SECONDARY, None))
        info = RM.resource_info("TCPIP::10.0.0.8::5025::SOCKET")
        self.assertEqual(tuple(info), (InterfaceType.tcpip, 0, "SOCKET", SOCKET, None))
        self.assertEqual(set(RM.list_resources_info("USB?*")), {VOLTMETER, BOX_USB})

    def test_resources_that_are_not_there_or_no_names(self):
        for name in ("GPIB0::30::INSTR", "GPIB1::12::INSTR", "USB::1::2::NONE", "VXI1::24"):
            self.assertEqual(error_of(lambda: RM.open_resource(name)),
                             StatusCode.error_resource_not_found, name)
        for name in ("GPIB0::31::INSTR", "VXI0::256::INSTR", "USB::0x10000::1::S"):
            self.assertEqual(error_of(lambda: RM.open_resource(name)),
                             StatusCode.error_invalid_resource_name, name)

    def test_status_texts(self):
        text, status = RM.visalib.status_description(RM.session, StatusCode.error_timeout)
        self.assertEqual((text, status),
                         ("VI_ERROR_TMO: Timeout expired before operation completed.",
                          StatusCode.success))
        text, status = RM.visalib.status_description(RM.session, 0x3FFF1234)
        self.assertEqual((text, status),
                         ("Unknown status 0x3FFF1234.", StatusCode.warning_unknown_status))


class Instruments(unittest.TestCase):
    def test_scpi_session_with_its_error_queue(self):
        with opened(COUNTER, write_termination="\n") as counter:
            counter.write("*CLS")
            counter.write("BOGUS:COMMAND")
            counter.write("MEAS:VOLT:AC?")  # a counter measures no volts
            self.assertEqual(counter.query("SYST:ERR?"), '-113,"Undefined header"')
            self.assertEqual(counter.query("SYSTem:ERRor?"), '-113,"Undefined header"')
            self.assertEqual(counter.query("syst:err?"), '+0,"No error"')
            self.assertEqual(counter.query_ascii_values("MEAS:FREQ?"), [0.0])  # output stopped

    def test_reads_end_at_end_termination_character_or_count(self):
        with RM.open_resource(BOX_USB) as box:
            box.write_raw(b"*IDN?\n")
            read = lambda count: RM.visalib.read(box.session, count)
            self.assertEqual(read(5), (b"ZELKO", StatusCode.success_max_count_read))
            box.set_visa_attribute(Attr.termchar, ord(","))
            box.set_visa_attribute(Attr.termchar_enabled, True)
            self.assertEqual(read(100), (b"RTECH,", StatusCode.success_termination_character_read))
            box.set_visa_attribute(Attr.termchar_enabled, False)
            self.assertEqual(read(100), (b"KSPBASE,2101,1.07\n", StatusCode.success))
            box.timeout = 50
            self.assertEqual(error_of(lambda: read(100)), StatusCode.error_timeout)  # no more
        with opened(SILENT, timeout=100) as silent:
            silent.write("*IDN?")
            self.assertEqual(error_of(silent.read), StatusCode.error_timeout)
            self.assertEqual(error_of(silent.read_stb), StatusCode.error_timeout)

    def test_clear_status_byte_trigger_and_events(self):
        with opened(VOLTMETER) as dmm:
            dmm.write("*CLS")
            self.assertEqual(dmm.read_stb(), 0)
            dmm.write("NOT:A:COMMAND")
            self.assertEqual(dmm.read_stb(), 0x04)  # an error in the queue
            dmm.write("*IDN?")
            self.assertEqual(dmm.read_stb(), 0x14)  # and a message to read
            dmm.clear()
            self.assertEqual(dmm.read_stb(), 0x04)
            dmm.assert_trigger()  # it awaits none, and says so
            self.assertEqual(dmm.query("SYST:ERR?"), '-113,"Undefined header"')
            self.assertEqual(dmm.query("SYST:ERR?"), '-211,"Trigger ignored"')
            self.assertEqual(error_of(lambda: dmm.enable_event(
                EventType.service_request, EventMechanism.queue)), StatusCode.error_invalid_event)
            self.assertEqual(RM.visalib.discard_events(dmm.session, EventType.all_enabled,
                                                       EventMechanism.all),
                             StatusCode.success_queue_already_empty)

    def test_attributes(self):
        with RM.open_resource("VXI::24") as vxi:
            self.assertEqual((vxi.interface_type, vxi.interface_number, vxi.resource_class),
                             (InterfaceType.vxi, 0, "INSTR"))
            self.assertEqual((vxi.manufacturer_id, vxi.model_code), (0xE76, 0x10D))
            self.assertEqual([vxi.get_visa_attribute(a) for a in (
                Attr.slot, Attr.vxi_logical_address, Attr.mainframe_logical_address)], [3, 24, 0])
            self.assertEqual(error_of(lambda: vxi.set_visa_attribute(Attr.slot, 4)),
                             StatusCode.error_attribute_read_only)
        with RM.open_resource("usb::12060::263::VK5400123") as dmm:
            self.assertEqual((dmm.manufacturer_id, dmm.model_code, dmm.serial_number),
                             (0x2F1C, 0x107, "VK5400123"))
            self.assertEqual((dmm.manufacturer_name, dmm.model_name), ("VOLTEK", "DMM-7"))
        with RM.open_resource("GPIB1::12::5") as dmm, RM.open_resource(COUNTER) as counter:
            self.assertEqual((dmm.interface_number, dmm.primary_address, dmm.secondary_address),
                             (1, 12, 5))
            self.assertEqual(counter.secondary_address, 0xFFFF)  # none
        with RM.open_resource(BOX_LAN) as box:
            self.assertEqual(box.get_visa_attribute(Attr.tcpip_device_name), "inst0")
            box.timeout, box.send_end = 1234, False
            self.assertEqual((box.timeout, box.send_end), (1234, False))


class Locks(unittest.TestCase):
    def test_exclusive_locks_between_two_sessions(self):
        a, b = opened(BOX_USB), opened("USB::6699::4::KSP2101")
        a.lock_excl()
        self.assertEqual(b.lock_state, AccessModes.exclusive_lock)
        self.assertEqual(error_of(lambda: b.query("*IDN?")), StatusCode.error_resource_locked)
        self.assertEqual(error_of(lambda: b.lock_excl(timeout=20)), StatusCode.error_timeout)
        self.assertEqual(a.query("*IDN?"), IDENTITIES[BOX_USB])
        a.unlock()
        self.assertEqual(b.query("*IDN?"), IDENTITIES[BOX_USB])
        self.assertEqual(error_of(b.unlock), StatusCode.error_session_not_locked)
        b.lock_excl()
        self.assertEqual(error_of(lambda: RM.open_resource(
            BOX_USB, access_mode=AccessModes.exclusive_lock, open_timeout=20)),
            StatusCode.error_resource_locked)
        b.close()  # its lock goes with it
        a.lock_excl(timeout=0)
        a.close()

    def test_shared_locks_by_key(self):
        a, b, c = opened(BOX_LAN), opened("TCPIP::10.0.0.7"), opened("tcpip::10.0.0.7::inst0")
        self.assertEqual(a.lock(requested_key="bench-42"), b"bench-42")
        self.assertEqual(b.lock(timeout=0, requested_key=b"bench-42"), b"bench-42")
        self.assertEqual(b.query("*IDN?"), IDENTITIES[BOX_LAN])
        self.assertEqual(error_of(lambda: c.query("*IDN?")), StatusCode.error_resource_locked)
        self.assertEqual(error_of(lambda: c.lock(timeout=0)), StatusCode.error_timeout)
        a.unlock()
        b.unlock()
        self.assertEqual(c.query("*IDN?"), IDENTITIES[BOX_LAN])
        for inst in (a, b, c):
            inst.close()


if __name__ == "__main__":
    unittest.main(verbosity=2, warnings=False)
