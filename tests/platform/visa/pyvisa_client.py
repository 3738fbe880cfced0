#!/usr/bin/python3
"""The VISA library as a client nobody here wrote uses it: PyVISA's ctypes backend loads it by
path and drives a bench of this test's own through it, as a lab's automation script would.

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
    from pyvisa import constants
    from pyvisa.constants import StatusCode
except ImportError as error:
    if os.environ.get("TRL4_REQUIRE_PYVISA") or os.environ.get("CI"):
        print(f"FAIL: PyVISA is required here and missing ({error}); "
              "Debian: apt install python3-pyvisa", file=sys.stderr)
        sys.exit(1)
    print(f"skipped: no PyVISA ({error})")
    sys.exit(77)

STATE = tempfile.TemporaryDirectory(prefix="trl4-pyvisa-")
# Read by the library at its first call, so set before the manager opens.
os.environ["TRL4_BENCH"] = BENCH
os.environ["TRL4_STATE_DIR"] = STATE.name
os.environ.pop("TRL4_DRIVER_TRACE", None)

RM = pyvisa.ResourceManager(LIBRARY)
# The tests check each completion code they expect; PyVISA would also print the warnings.
warnings.simplefilter("ignore", pyvisa.errors.VisaIOWarning)

VOLTMETER = "USB0::0x2F1C::0x0107::VK5400123::INSTR"
COUNTER = "GPIB0::11::INSTR"
SECONDARY = "GPIB1::12::5::INSTR"
NODABOX_USB = "USB0::0x1A2B::0x0004::KSP2101::INSTR"
NODABOX_LAN = "TCPIP0::10.0.0.7::inst0::INSTR"
SOCKET = "TCPIP0::10.0.0.8::5025::SOCKET"
SILENT = "TCPIP0::10.0.0.9::inst0::INSTR"
SERIAL = "ASRL1::INSTR"
VXI = "VXI0::24::INSTR"
GPIB_VXI = "GPIB-VXI0::72::INSTR"
PXI = "PXI0::3-15::INSTR"

IDENTITIES = {
    VOLTMETER: "VOLTEK,DMM-7,VK5400123,A.02.01",
    COUNTER: "VOLTEK,FC-3,FC0311,1.20",
    SECONDARY: "VOLTEK,DMM-7,SEC5,A.02.01",
    NODABOX_USB: "ZELKORTECH,KSPBASE,2101,1.07",
    NODABOX_LAN: "ZELKORTECH,KSPBASE,3344,1.07",
    SOCKET: "VOLTEK,FC-3,FC0400,1.20",
    SERIAL: "VOLTEK,PSU-2,77,0.9",
}

# Every spelling the standard allows of each kind, and the name the search lists it under.
SPELLINGS = {
    VXI: ["VXI::24", "vxi0::24::instr", "VXI00::24::INSTR"],
    PXI: ["PXI3::15::INSTR", "pxi::3-15", "PXI0::3-15.0::INSTR"],
    COUNTER: ["GPIB::11::INSTR", "GPIB0::11::0::INSTR", "gpib::11"],
    SECONDARY: ["GPIB1::12::5", "gpib1::12::5::instr"],
    VOLTMETER: ["USB::12060::263::VK5400123::INSTR", "usb0::0x2f1c::0x107::VK5400123",
                "USB0::0x2F1C::263::VK5400123::0::INSTR"],
    NODABOX_USB: ["USB::6699::4::KSP2101", "USB0::0x1A2B::0x0004::KSP2101::0::INSTR"],
    NODABOX_LAN: ["TCPIP::10.0.0.7::INSTR", "tcpip0::10.0.0.7", "TCPIP::10.0.0.7::inst0"],
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


class Listing(unittest.TestCase):
    def test_expressions(self):
        everything = set(RM.list_resources("?*"))
        self.assertEqual(len(everything), 11)
        self.assertEqual(set(RM.list_resources()), everything - {SOCKET})  # "?*::INSTR"
        self.assertEqual(set(RM.list_resources("GPIB?*")), {COUNTER, SECONDARY, GPIB_VXI})
        self.assertEqual(set(RM.list_resources("GPIB[0-9]*::?*INSTR")), {COUNTER, SECONDARY})
        self.assertEqual(set(RM.list_resources("(USB|ASRL)?*")),
                         {VOLTMETER, NODABOX_USB, SERIAL})
        self.assertEqual(RM.list_resources("?*SOCKET"), (SOCKET,))
        self.assertEqual(RM.list_resources("usb?*0x1a2b?*"), (NODABOX_USB,))
        self.assertEqual(RM.list_resources("GPIB5?*"), ())  # PyVISA's answer to "not found"
        self.assertEqual(error_of(lambda: RM.list_resources("[?*")),
                         StatusCode.error_invalid_expression)

    def test_resource_info(self):
        info = RM.resource_info("gpib1::12::5")
        self.assertEqual(info.interface_type, constants.InterfaceType.gpib)
        self.assertEqual(info.interface_board_number, 1)
        self.assertEqual(info.resource_class, "INSTR")
        self.assertEqual(info.resource_name, SECONDARY)
        self.assertIsNone(info.alias)
        info = RM.resource_info("TCPIP::10.0.0.8::5025::SOCKET")
        self.assertEqual((info.interface_type, info.resource_class, info.resource_name),
                         (constants.InterfaceType.tcpip, "SOCKET", SOCKET))
        self.assertEqual(RM.resource_info("USB::12060::263::VK5400123").resource_name, VOLTMETER)
        listed = RM.list_resources_info("USB?*")
        self.assertEqual(set(listed), {VOLTMETER, NODABOX_USB})
        self.assertEqual(listed[VOLTMETER].interface_type, constants.InterfaceType.usb)


class Opening(unittest.TestCase):
    def test_every_spelling_opens_the_listed_resource(self):
        for listed, spellings in SPELLINGS.items():
            for spelling in spellings:
                with self.subTest(spelling=spelling):
                    with RM.open_resource(spelling) as inst:
                        self.assertEqual(inst.get_visa_attribute(
                            constants.ResourceAttribute.resource_name), listed)
                        if listed in IDENTITIES:
                            self.assertEqual(inst.query("*IDN?").strip(), IDENTITIES[listed])

    def test_gpib_vxi_by_its_own_name(self):
        # PyVISA rewrites a GPIB-VXI name into a GPIB one of its own before it opens it; the
        # library is given the name as written.
        for spelling in ("GPIB-VXI::72", "gpib-vxi0::72::INSTR"):
            session, status = RM.open_bare_resource(spelling)
            self.assertEqual(status, StatusCode.success)
            la = RM.visalib.get_attribute(session, constants.VI_ATTR_VXI_LA)[0]
            self.assertEqual(la, 72)
            RM.visalib.close(session)

    def test_resources_that_are_not_there(self):
        for name in ("GPIB0::30::INSTR", "GPIB1::12::INSTR", "USB::1::2::NONE", "VXI1::24"):
            with self.subTest(name=name):
                self.assertEqual(error_of(lambda: RM.open_resource(name)),
                                 StatusCode.error_resource_not_found)
        for name in ("GPIB0::31::INSTR", "VXI0::256::INSTR", "USB::0x10000::1::S",
                     "TCPIP::10.0.0.7::1::2::INSTR"):
            with self.subTest(name=name):
                self.assertEqual(error_of(lambda: RM.open_resource(name)),
                                 StatusCode.error_invalid_resource_name)


class MessageBased(unittest.TestCase):
    def test_identities(self):
        for name, identity in IDENTITIES.items():
            with self.subTest(name=name):
                inst = RM.open_resource(name, read_termination="\n")
                self.assertEqual(inst.query("*IDN?"), identity)
                inst.close()

    def test_scpi_session_with_its_error_queue(self):
        with RM.open_resource(COUNTER, read_termination="\n", write_termination="\n") as dmm:
            dmm.write("*CLS")
            dmm.write("BOGUS:COMMAND")
            dmm.write("MEAS:VOLT:AC?")  # a counter measures no volts
            self.assertEqual(dmm.query("SYST:ERR?"), '-113,"Undefined header"')
            self.assertEqual(dmm.query("SYSTem:ERRor?"), '-113,"Undefined header"')
            self.assertEqual(dmm.query("syst:err?"), '+0,"No error"')
            self.assertEqual(dmm.query_ascii_values("MEAS:FREQ?"), [0.0])  # output stopped

    def test_reads_end_at_end_termination_character_or_count(self):
        with RM.open_resource(NODABOX_USB) as box:
            box.write_raw(b"*IDN?\n")
            lib, session = RM.visalib, box.session
            data, status = lib.read(session, 5)
            self.assertEqual((data, status), (b"ZELKO", StatusCode.success_max_count_read))
            box.set_visa_attribute(constants.ResourceAttribute.termchar, ord(","))
            box.set_visa_attribute(constants.ResourceAttribute.termchar_enabled, True)
            data, status = lib.read(session, 100)
            self.assertEqual((data, status),
                             (b"RTECH,", StatusCode.success_termination_character_read))
            box.set_visa_attribute(constants.ResourceAttribute.termchar_enabled, False)
            data, status = lib.read(session, 100)
            self.assertEqual((data, status), (b"KSPBASE,2101,1.07\n", StatusCode.success))

    def test_a_read_with_nothing_to_deliver_times_out(self):
        with RM.open_resource(SILENT, timeout=100) as silent:
            self.assertEqual(silent.timeout, 100)
            silent.write("*IDN?")
            self.assertEqual(error_of(silent.read), StatusCode.error_timeout)
        with RM.open_resource(NODABOX_LAN, timeout=50) as box:
            self.assertEqual(error_of(box.read_raw), StatusCode.error_timeout)  # nothing asked

    def test_clear_and_status_byte(self):
        with RM.open_resource(VOLTMETER, read_termination="\n") as dmm:
            dmm.write("*CLS")
            self.assertEqual(dmm.read_stb(), 0)
            dmm.write("NOT:A:COMMAND")
            self.assertEqual(dmm.read_stb(), 0x04)  # an error in the queue
            dmm.write("*IDN?")
            self.assertEqual(dmm.read_stb(), 0x14)  # and a message to read
            dmm.clear()
            self.assertEqual(dmm.read_stb(), 0x04)
            self.assertEqual(error_of(dmm.read), StatusCode.error_timeout)
            dmm.assert_trigger()  # it awaits none, and says so
            self.assertEqual(dmm.query("SYST:ERR?"), '-113,"Undefined header"')
            self.assertEqual(dmm.query("SYST:ERR?"), '-211,"Trigger ignored"')
            dmm.flush(constants.BufferOperation.discard_read_buffer)
        with RM.open_resource(SILENT, timeout=50) as silent:
            self.assertEqual(error_of(silent.read_stb), StatusCode.error_timeout)

    def test_events_the_resources_do_not_raise(self):
        with RM.open_resource(COUNTER) as dmm:
            self.assertEqual(error_of(lambda: dmm.enable_event(
                constants.EventType.service_request, constants.EventMechanism.queue)),
                StatusCode.error_invalid_event)
            self.assertEqual(error_of(lambda: dmm.wait_on_event(
                constants.EventType.service_request, 10)), StatusCode.error_invalid_event)
            status = RM.visalib.discard_events(dmm.session, constants.EventType.all_enabled,
                                               constants.EventMechanism.all)
            self.assertEqual(status, StatusCode.success_queue_already_empty)


class Attributes(unittest.TestCase):
    def test_vxi_attributes(self):
        with RM.open_resource("VXI::24") as vxi:
            self.assertEqual(vxi.interface_type, constants.InterfaceType.vxi)
            self.assertEqual(vxi.interface_number, 0)
            self.assertEqual(vxi.manufacturer_id, 0xE76)
            self.assertEqual(vxi.model_code, 0x10D)
            slot = vxi.get_visa_attribute(constants.ResourceAttribute.slot)
            self.assertEqual(slot, 3)
            self.assertEqual(vxi.get_visa_attribute(constants.ResourceAttribute.vxi_logical_address), 24)
            self.assertEqual(vxi.get_visa_attribute(constants.ResourceAttribute.mainframe_logical_address), 0)
            self.assertEqual(vxi.resource_class, "INSTR")
            self.assertEqual(error_of(lambda: vxi.set_visa_attribute(
                constants.ResourceAttribute.slot, 4)), StatusCode.error_attribute_read_only)

    def test_names_interfaces_and_makers(self):
        with RM.open_resource("usb::12060::263::VK5400123") as dmm:
            self.assertEqual(dmm.resource_name, VOLTMETER)
            self.assertEqual(dmm.interface_type, constants.InterfaceType.usb)
            self.assertEqual(dmm.manufacturer_id, 0x2F1C)
            self.assertEqual(dmm.model_code, 0x107)
            self.assertEqual(dmm.serial_number, "VK5400123")
            self.assertEqual(dmm.manufacturer_name, "VOLTEK")
            self.assertEqual(dmm.model_name, "DMM-7")
        with RM.open_resource("GPIB1::12::5") as dmm:
            self.assertEqual((dmm.interface_number, dmm.primary_address, dmm.secondary_address),
                             (1, 12, 5))
        with RM.open_resource(COUNTER) as counter:
            self.assertEqual(counter.secondary_address, constants.VI_NO_SEC_ADDR)
        with RM.open_resource(NODABOX_LAN) as box:
            self.assertEqual(box.get_visa_attribute(
                constants.ResourceAttribute.tcpip_device_name), "inst0")
            self.assertEqual(box.get_visa_attribute(
                constants.ResourceAttribute.tcpip_address), "10.0.0.7")
            box.timeout = 1234
            self.assertEqual(box.timeout, 1234)
            self.assertTrue(box.send_end)
            box.send_end = False
            self.assertFalse(box.send_end)


class Locks(unittest.TestCase):
    def test_exclusive_locks_between_two_sessions(self):
        a = RM.open_resource(NODABOX_USB, read_termination="\n")
        b = RM.open_resource("USB::6699::4::KSP2101", read_termination="\n")
        a.lock_excl()
        self.assertEqual(b.lock_state, constants.AccessModes.exclusive_lock)
        self.assertEqual(error_of(lambda: b.query("*IDN?")), StatusCode.error_resource_locked)
        self.assertEqual(error_of(lambda: b.lock_excl(timeout=20)), StatusCode.error_timeout)
        self.assertEqual(a.query("*IDN?"), IDENTITIES[NODABOX_USB])
        a.unlock()
        self.assertEqual(b.query("*IDN?"), IDENTITIES[NODABOX_USB])
        self.assertEqual(error_of(b.unlock), StatusCode.error_session_not_locked)
        # A session asking for an exclusive lock at opening waits its time-out, then fails.
        b.lock_excl()
        self.assertEqual(error_of(lambda: RM.open_resource(
            NODABOX_USB, access_mode=constants.AccessModes.exclusive_lock, open_timeout=20)),
            StatusCode.error_resource_locked)
        b.close()  # its lock goes with it
        a.lock_excl(timeout=0)
        a.close()

    def test_shared_locks_by_key(self):
        a = RM.open_resource(NODABOX_LAN, read_termination="\n")
        b = RM.open_resource("TCPIP::10.0.0.7", read_termination="\n")
        c = RM.open_resource("tcpip0::10.0.0.7::inst0::instr", read_termination="\n")
        key = a.lock(requested_key="bench-42")
        self.assertEqual(key, b"bench-42")
        self.assertEqual(b.lock(timeout=0, requested_key=key), key)
        self.assertEqual(b.query("*IDN?"), IDENTITIES[NODABOX_LAN])
        self.assertEqual(error_of(lambda: c.query("*IDN?")), StatusCode.error_resource_locked)
        self.assertEqual(error_of(lambda: c.lock(timeout=0)), StatusCode.error_timeout)
        a.unlock()
        b.unlock()
        self.assertEqual(c.query("*IDN?"), IDENTITIES[NODABOX_LAN])
        for inst in (a, b, c):
            inst.close()


class StatusTexts(unittest.TestCase):
    def test_descriptions(self):
        lib = RM.visalib
        text, status = lib.status_description(RM.session, StatusCode.error_timeout)
        self.assertEqual(status, StatusCode.success)
        self.assertEqual(text, "VI_ERROR_TMO: Timeout expired before operation completed.")
        text, _ = lib.status_description(RM.session, StatusCode.error_resource_not_found)
        self.assertTrue(text.startswith("VI_ERROR_RSRC_NFOUND: "), text)
        text, status = lib.status_description(RM.session, -1073807300 + 0x1000)
        self.assertEqual(status, StatusCode.warning_unknown_status)  # a warning, no exception
        self.assertTrue(text.startswith("Unknown status"), text)


if __name__ == "__main__":
    unittest.main(verbosity=2, warnings=False)
