// The Linux port scan over a made-up sysfs and alias folder.
#include "serial/PortListPosix.h"

#include "platform/PortMap.h"
#include "serial/MemoryPort.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace qav {
namespace {

namespace fs = std::filesystem;
using test::ScopedPortsDir;
using test::WriteWholeFile;

// A stand-in for /sys/class/tty and /dev in a temporary folder.
class PortListing : public ::testing::Test
{
protected:
    PortListing()
    {
        roots_.sysClassTty = (tree_.path() / "sys").string();
        roots_.devDir = (tree_.path() / "dev").string();
        fs::create_directories(roots_.sysClassTty);
        fs::create_directories(roots_.devDir);
        // Judged on where a path leads, as access() would.
        roots_.mayOpen = [this](const std::string& path) {
            return !forbidden_.contains(fs::weakly_canonical(path).string());
        };
    }

    // A tty with a bound driver and (unless told otherwise) a device node.
    void Tty(const std::string& name, bool driver = true, bool node = true, const char* uartType = nullptr)
    {
        const fs::path dir = fs::path(roots_.sysClassTty) / name;
        fs::create_directories(driver ? dir / "device" / "driver" : dir);
        if (uartType)
            WriteWholeFile((dir / "type").string(), uartType);
        if (node)
            WriteWholeFile(roots_.devDir + "/" + name, "");
    }

    ScopedPortsDir ports_;
    test::TempDir tree_;
    PortScanRoots roots_;
    std::set<std::string> forbidden_;
};

TEST_F(PortListing, ListsRealDevicesByNumberAndSkipsTheRest)
{
    Tty("ttyUSB1");
    Tty("ttyS0", true, true, "4\n");
    Tty("ttyS1", true, true, "0\n"); // no UART found
    Tty("ttyS2");                    // no type to read
    Tty("ttyS3", false);             // no driver
    Tty("ttyACM0");
    Tty("ttyUSB5", true, false); // node gone
    Tty("tty1");                 // a console, no family
    Tty("ttyUSB40");             // beyond the family's range
    const std::vector<std::string> expected{
        "COM1 " + roots_.devDir + "/ttyS0",
        "COM34 " + roots_.devDir + "/ttyUSB1",
        "COM65 " + roots_.devDir + "/ttyACM0",
    };
    EXPECT_EQ(ListSerialPorts(roots_), expected);
}

TEST_F(PortListing, AliasesComeFirstAndTakeTheirNumber)
{
    Tty("ttyUSB0");
    Tty("ttyUSB2");
    const std::string pinned = tree_.File("adapter");
    WriteWholeFile(pinned, "");
    ASSERT_TRUE(RegisterPortAlias(33, pinned));
    ASSERT_TRUE(RegisterPortAlias(201, tree_.File("unplugged")));
    ASSERT_TRUE(RegisterPortAlias(2, pinned));
    const std::vector<std::string> expected{
        "COM2 " + pinned,
        "COM33 " + pinned,
        "COM201 " + tree_.File("unplugged") + " (missing)",
        "COM35 " + roots_.devDir + "/ttyUSB2",
    };
    const auto list = ListSerialPorts(roots_);
    EXPECT_EQ(list, expected);
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(PortNumberFromEntry(list[i]), std::vector<int>({2, 33, 201, 35})[i]);
}

TEST_F(PortListing, DevicesTheUserMayNotOpenSaySo)
{
    Tty("ttyACM3");
    forbidden_.insert(fs::weakly_canonical(roots_.devDir + "/ttyACM3").string());
    const std::string locked = tree_.File("locked-device");
    WriteWholeFile(locked, "");
    forbidden_.insert(fs::weakly_canonical(locked).string());
    ASSERT_TRUE(RegisterPortAlias(300, locked));
    const std::vector<std::string> expected{
        "COM300 " + locked + " (no permission)",
        "COM68 " + roots_.devDir + "/ttyACM3 (no permission)",
    };
    EXPECT_EQ(ListSerialPorts(roots_), expected);
}

// A USB adapter as sysfs shows it: the tty's "device" leads into the USB
// device's folder, which holds idVendor, product and serial. For a ttyUSB
// it is the serial port below the interface, for a ttyACM the interface.
struct UsbAttributes
{
    const char* vendor;
    const char* productId;
    const char* manufacturer; // nullptr: the file is absent
    const char* product;
    const char* serial;
};

class UsbPortListing : public PortListing
{
protected:
    void UsbTty(const std::string& name, const UsbAttributes& a)
    {
        const fs::path usb = tree_.path() / "devices" / "pci0000:00" / "usb1" / ("1-" + name);
        const fs::path iface = usb / ("1-" + name + ":1.0");
        const fs::path device = name.starts_with("ttyACM") ? iface : iface / name;
        fs::create_directories(device / "driver");
        const fs::path classDir = fs::path(roots_.sysClassTty) / name;
        fs::create_directories(classDir);
        fs::create_directory_symlink(device, classDir / "device");
        const std::pair<const char*, const char*> files[] = {{"idVendor", a.vendor},
                                                             {"idProduct", a.productId},
                                                             {"manufacturer", a.manufacturer},
                                                             {"product", a.product},
                                                             {"serial", a.serial}};
        for (const auto& [file, text] : files) {
            if (text)
                WriteWholeFile((usb / file).string(), text);
        }
        WriteWholeFile(roots_.devDir + "/" + name, "");
    }
};

TEST_F(UsbPortListing, AdaptersAreListedWithProductAndSerial)
{
    UsbTty("ttyUSB0",
           {"10c4\n", "ea60\n", "Silicon Labs\n", "CP2102 USB to UART Bridge Controller\n", "0001\n"});
    UsbTty("ttyUSB1", {"0403\n", "6001\n", nullptr, nullptr, nullptr});
    UsbTty("ttyUSB2", {"1a86\n", "7523\n", "QinHeng\n", nullptr, "A1\n"});
    UsbTty("ttyUSB3", {"067b\n", "2303\n", nullptr, "  Bad\tname\x01  \r\n", "  \n"});
    UsbTty("ttyACM0", {"0483\n", "5740\n", "STMicroelectronics\n", "STM32 Virtual ComPort\n", "325F\n"});
    Tty("ttyS0", true, true, "4\n"); // on the board, not USB
    forbidden_.insert(fs::weakly_canonical(roots_.devDir + "/ttyACM0").string());
    const std::string dev = roots_.devDir;
    const struct
    {
        std::string entry;
        int number;
        const char* vendor;
        const char* product;
        const char* serial;
    } expected[] = {
        {"COM1 " + dev + "/ttyS0", 1, "", "", ""},
        {"COM33 " + dev + "/ttyUSB0 CP2102 USB to UART Bridge Controller (0001)", 33, "10c4",
         "CP2102 USB to UART Bridge Controller", "0001"},
        {"COM34 " + dev + "/ttyUSB1 USB 0403:6001", 34, "0403", "", ""},
        {"COM35 " + dev + "/ttyUSB2 QinHeng (A1)", 35, "1a86", "", "A1"},
        {"COM36 " + dev + "/ttyUSB3 Bad name", 36, "067b", "Bad name", ""},
        {"COM65 " + dev + "/ttyACM0 STM32 Virtual ComPort (325F) (no permission)", 65, "0483",
         "STM32 Virtual ComPort", "325F"},
    };
    const std::vector<SerialPortInfo> ports = ScanSerialPorts(roots_);
    const std::vector<std::string> entries = ListSerialPorts(roots_);
    ASSERT_EQ(ports.size(), std::size(expected));
    ASSERT_EQ(entries.size(), std::size(expected));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const auto& e = expected[i];
        EXPECT_EQ(entries[i], e.entry);
        EXPECT_EQ(PortNumberFromEntry(entries[i]), e.number) << e.entry;
        EXPECT_EQ(ports[i].Name(), "COM" + std::to_string(e.number));
        EXPECT_EQ(ports[i].usb.vendorId, e.vendor) << e.entry;
        EXPECT_EQ(ports[i].usb.product, e.product) << e.entry;
        EXPECT_EQ(ports[i].usb.serial, e.serial) << e.entry;
    }
    EXPECT_EQ(ports[1].usb.productId, "ea60");
    EXPECT_EQ(ports[1].usb.manufacturer, "Silicon Labs");
}

TEST_F(UsbPortListing, AnAliasToAnAdapterNamesItToo)
{
    UsbTty("ttyUSB0", {"10c4\n", "ea60\n", nullptr, "CP2102 USB to UART Bridge Controller\n", "0001\n"});
    const std::string link = tree_.File("by-id-link");
    fs::create_symlink(roots_.devDir + "/ttyUSB0", link);
    ASSERT_TRUE(RegisterPortAlias(5, link));
    // The device is still listed under its own number as well.
    const std::vector<std::string> expected{
        "COM5 " + link + " CP2102 USB to UART Bridge Controller (0001)",
        "COM33 " + roots_.devDir + "/ttyUSB0 CP2102 USB to UART Bridge Controller (0001)",
    };
    EXPECT_EQ(ListSerialPorts(roots_), expected);
}

TEST_F(PortListing, NothingToFindGivesAnEmptyList)
{
    roots_.sysClassTty = tree_.File("no-such-folder");
    EXPECT_TRUE(ListSerialPorts(roots_).empty());
}

constexpr int kPort = 201;

TEST(MemoryPortList, ARegisteredPortIsListedFirstAndHidesAnAliasOfItsNumber)
{
    test::ScopedPortsDir ports;
    ASSERT_TRUE(RegisterPortAlias(kPort, "/dev/null"));
    ASSERT_TRUE(RegisterPortAlias(7, "/dev/null"));
    const auto entries = [] {
        PortScanRoots roots;
        roots.sysClassTty = "/nonexistent";
        return ListSerialPorts(roots);
    };
    {
        ScopedMemoryPort memory(kPort);
        const auto listed = entries();
        ASSERT_EQ(listed.size(), 2u);
        EXPECT_EQ(listed[0], "COM201 (in memory)");
        EXPECT_EQ(listed[1], "COM7 /dev/null");
        EXPECT_EQ(PortNumberFromEntry(listed[0]), kPort);
    }
    EXPECT_EQ(entries(), (std::vector<std::string>{"COM7 /dev/null", "COM201 /dev/null"}));
}

} // namespace
} // namespace qav
