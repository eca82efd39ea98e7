#!/usr/bin/env python3
"""Writes the small fake sysfs trees that the drive-identity tests walk.

Each tree holds only what the code reads: /sys/dev/block/MAJ:MIN links (relative, as the kernel
makes them), the disk's "removable" flag, a partition's "partition" file, and the USB device's
"descriptors" (device descriptor, then a configuration descriptor, as the kernel exposes them),
"idVendor", "manufacturer", "product", "serial" and "speed". Run it from anywhere; it rewrites
sysfs/ beside itself.
"""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "sysfs")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def link(root, devno, target):
    path = os.path.join(root, "dev", "block", devno)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    os.symlink(os.path.join("..", "..", target), path)


def usb_device(root, folder, vendor, product_id, bcd_usb, max_packet, strings, speed):
    # Device descriptor, little-endian as on the wire, then a configuration descriptor.
    descriptor = struct.pack("<BBHBBBBHHHBBBB", 18, 1, bcd_usb, 0, 0, 0, max_packet,
                             vendor, product_id, 0x0126, 1, 2, 3, 1)
    config = bytes([9, 2, 32, 0, 1, 1, 0, 0x80, 50])
    write(os.path.join(root, folder, "descriptors"), descriptor + config)
    write(os.path.join(root, folder, "idVendor"), "%04x\n" % vendor)
    manufacturer, product, serial = strings
    write(os.path.join(root, folder, "manufacturer"), manufacturer + "\n")
    write(os.path.join(root, folder, "product"), product + "\n")
    write(os.path.join(root, folder, "serial"), serial + "\n")
    write(os.path.join(root, folder, "speed"), speed + "\n")


def disk(root, folder, name, removable, partition):
    write(os.path.join(root, folder, "block", name, "removable"), "%d\n" % removable)
    write(os.path.join(root, folder, "block", name, partition, "partition"), "1\n")
    return os.path.join(folder, "block", name, partition)


def main():
    shutil.rmtree(ROOT, ignore_errors=True)

    # A USB flash drive: removable media on a high-speed port.
    root = os.path.join(ROOT, "usb-flash")
    usb = "devices/pci0000:00/0000:00:14.0/usb1/1-2"
    usb_device(root, usb, 0x1234, 0x5678, 0x0200, 64,
               ("Example Corp", "Pocket Drive", "4C530001230114116283"), "480")
    part = disk(root, usb + "/1-2:1.0/host6/target6:0:0/6:0:0:0", "sdb", 1, "sdb1")
    link(root, "8:17", part)

    # A hard disk in a USB enclosure: fixed, on a super-speed port.
    root = os.path.join(ROOT, "usb-disk")
    usb = "devices/pci0000:00/0000:00:14.0/usb2/2-1"
    usb_device(root, usb, 0x4321, 0x8765, 0x0300, 9,
               ("Disk Maker", "Portable Disk \u00e9dition", "NA8XKQ4Z"), "5000")
    part = disk(root, usb + "/2-1:1.0/host7/target7:0:0/7:0:0:0", "sdc", 0, "sdc1")
    link(root, "8:33", part)

    # The machine's own NVMe disk.
    root = os.path.join(ROOT, "internal")
    part = disk(root, "devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0", "nvme0n1", 0,
                "nvme0n1p2")
    link(root, "259:2", part)


if __name__ == "__main__":
    main()
