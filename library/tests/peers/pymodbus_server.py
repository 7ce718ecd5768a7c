#!/usr/bin/python3
"""The seat's two effects devices as served by pymodbus, for the tests.

A relay board in the "Modbus-TCP" framing and a fan speed controller in the
"RTU-over-TCP" framing, each with 16 coils and 8 holding registers of unit 1,
listen on 127.0.0.1 with ports chosen by the system. The first line on stdout
gives the ports:  {"relay": PORT, "fan": PORT}
Each line "dump" on stdin is answered with one line holding both devices:
  {"relay": {"coils": [16 x 0/1], "registers": [8 values]}, "fan": {...}}
The server stops when stdin closes.

Options set the starting state of a device, for example
  --relay-coils 0x780F --fan-registers 0,0,7,0,9
(coil i is bit i of the mask; registers are listed from address 0).
"""
import argparse
import asyncio
import json
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.framer.socket_framer import ModbusSocketFramer
from pymodbus.server.async_io import ModbusTcpServer

COILS = 16
REGISTERS = 8
UNIT = 1
READ_COILS = 1
READ_HOLDING_REGISTERS = 3


def register_list(text):
    values = [int(value, 0) for value in text.split(",")] if text else []
    if len(values) > REGISTERS:
        raise argparse.ArgumentTypeError(f"at most {REGISTERS} registers")
    return values + [0] * (REGISTERS - len(values))


class QuietSessionEnd(logging.Filter):
    """Drops the lines pymodbus writes, as errors and warnings, whenever a client
    disconnects or a session is closed with the server; real faults still show."""

    def filter(self, record):
        message = record.getMessage()
        return "has been canceled" not in message and "aborting active session" not in message


class Device:
    def __init__(self, framer, coil_mask, registers):
        self.framer = framer
        # Addresses on the wire are the block's indices (zero_mode), and only
        # unit 1 answers: a request for any other unit goes unanswered.
        self.slave = ModbusSlaveContext(
            co=ModbusSequentialDataBlock(0, [(coil_mask >> i) & 1 for i in range(COILS)]),
            hr=ModbusSequentialDataBlock(0, registers),
            zero_mode=True,
        )
        self.server = None

    async def start(self):
        context = ModbusServerContext(slaves={UNIT: self.slave}, single=False)
        self.server = ModbusTcpServer(context, framer=self.framer, address=("127.0.0.1", 0))
        serving = asyncio.create_task(self.server.serve_forever())
        done, _ = await asyncio.wait({serving, self.server.serving}, return_when=asyncio.FIRST_COMPLETED)
        if serving in done:
            serving.result()  # raises why the server could not listen
            raise RuntimeError("the server stopped before it listened")
        return self.server.server.sockets[0].getsockname()[1]

    def state(self):
        return {
            "coils": [int(bool(value)) for value in self.slave.getValues(READ_COILS, 0, COILS)],
            "registers": list(self.slave.getValues(READ_HOLDING_REGISTERS, 0, REGISTERS)),
        }


async def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--relay-coils", type=lambda text: int(text, 0), default=0)
    parser.add_argument("--relay-registers", type=register_list, default=register_list(""))
    parser.add_argument("--fan-coils", type=lambda text: int(text, 0), default=0)
    parser.add_argument("--fan-registers", type=register_list, default=register_list(""))
    options = parser.parse_args()
    logging.getLogger("pymodbus.server.async_io").addFilter(QuietSessionEnd())

    devices = {
        "relay": Device(ModbusSocketFramer, options.relay_coils, options.relay_registers),
        "fan": Device(ModbusRtuFramer, options.fan_coils, options.fan_registers),
    }
    ports = {name: await device.start() for name, device in devices.items()}
    print(json.dumps(ports), flush=True)

    reader = asyncio.StreamReader()
    await asyncio.get_running_loop().connect_read_pipe(lambda: asyncio.StreamReaderProtocol(reader), sys.stdin)
    while line := await reader.readline():
        if line.strip() == b"dump":
            print(json.dumps({name: device.state() for name, device in devices.items()}), flush=True)

    for device in devices.values():
        await device.server.server_close()


if __name__ == "__main__":
    asyncio.run(main())
