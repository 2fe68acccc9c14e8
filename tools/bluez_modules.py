'''BlueZ with Tavrenode modules in range: a python-dbusmock template.

BlueZ's own mock (the bluez5 template), and what a module needs of it, as bluetoothd does
it: a client profile registered for a UUID is handed one end of a connected socket through
an asynchronous Profile1.NewConnection call when a device's ConnectProfile asks for it, and
told RequestDisconnection on DisconnectProfile; Pair asks the caller's own agent for the
PIN (RequestPinCode) and compares it with the module's. The other end of the socket is
tavrenode-sim --socket, the simulator that serves a pseudo-terminal otherwise, with its
scripted faults.

Parameters: {"simulator": PATH of tavrenode-sim}.
org.bluez.Mock.AddModule(adapter, address, name, paired, pin, simulator_arguments, log)
adds a module; everything done with it is appended to the file log, a line each, with the
simulator's own output (records field by field). org.bluez.Mock.AddIntruder(address) makes
a second connection to the bus call the profile's NewConnection before bluetoothd does,
the next time the module is connected, and log how that went.
'''

import os
import socket
import subprocess

import dbus
import dbus.bus

from dbusmock import mockobject
from dbusmock.templates.bluez5 import *  # noqa: F401,F403 (the template's methods, too)
from dbusmock.templates import bluez5

SERIAL_PORT = '00001101-0000-1000-8000-00805f9b34fb'
PROFILE_IFACE = 'org.bluez.Profile1'
AGENT_IFACE = 'org.bluez.Agent1'

_parameters = {}


def _manager():
    return mockobject.objects['/org/bluez']


def _log(device, line):
    with open(device.module_log, 'a', encoding='utf-8') as log:
        log.write(line + '\n')


@dbus.service.method(bluez5.PROFILE_MANAGER_IFACE, in_signature='osa{sv}', out_signature='',
                     sender_keyword='sender')
def ModuleRegisterProfile(manager, path, uuid, options, sender=None):
    manager.profiles[str(uuid).lower()] = (sender, str(path), dict(options))


@dbus.service.method(bluez5.PROFILE_MANAGER_IFACE, in_signature='o', out_signature='',
                     sender_keyword='sender')
def ModuleUnregisterProfile(manager, path, sender=None):
    for uuid, (owner, registered, _) in list(manager.profiles.items()):
        if owner == sender and registered == str(path):
            del manager.profiles[uuid]
            return
    raise dbus.exceptions.DBusException('No such profile', name='org.bluez.Error.DoesNotExist')


@dbus.service.method(bluez5.AGENT_MANAGER_IFACE, in_signature='os', out_signature='',
                     sender_keyword='sender')
def ModuleRegisterAgent(manager, path, capability, sender=None):
    manager.module_agents[sender] = str(path)


@dbus.service.method(bluez5.AGENT_MANAGER_IFACE, in_signature='o', out_signature='',
                     sender_keyword='sender')
def ModuleUnregisterAgent(manager, path, sender=None):
    if manager.module_agents.get(sender) != str(path):
        raise dbus.exceptions.DBusException('No such agent', name='org.bluez.Error.DoesNotExist')
    del manager.module_agents[sender]


def _fail(err, name, text):
    err(dbus.exceptions.DBusException(text, name='org.bluez.Error.' + name))


@dbus.service.method(bluez5.DEVICE_IFACE, in_signature='', out_signature='',
                     sender_keyword='sender', path_keyword='path',
                     async_callbacks=('ok', 'err'))
def ModulePair(device, sender=None, path=None, ok=None, err=None):
    if device.props[bluez5.DEVICE_IFACE]['Paired']:
        _fail(err, 'AlreadyExists', 'Already Paired')
        return
    agent = _manager().module_agents.get(sender)
    if agent is None:
        _log(device, 'pairing without an agent')
        _fail(err, 'AuthenticationCanceled', 'Authentication Canceled')
        return

    def answered(pin):
        if str(pin) != device.module_pin:
            _log(device, 'pairing refused: wrong PIN')
            _fail(err, 'AuthenticationFailed', 'Authentication Failed')
            return
        _log(device, 'paired')
        device.UpdateProperties(bluez5.DEVICE_IFACE, {'Paired': dbus.Boolean(True)})
        ok()

    def refused(error):
        _log(device, 'pairing refused by the agent: ' + error.get_dbus_name())
        _fail(err, 'AuthenticationRejected', 'Authentication Rejected')

    device.connection.call_async(sender, agent, AGENT_IFACE, 'RequestPinCode', 'o',
                                 [dbus.ObjectPath(path)], answered, refused)


def _intrude(device, path, owner, profile):
    '''A caller that is not bluetoothd offers the profile a connection.'''
    device.module_intruder = False
    ours, theirs = socket.socketpair()
    intruder = dbus.bus.BusConnection(os.environ['DBUS_SYSTEM_BUS_ADDRESS'])

    def done(outcome):
        # The descriptor was to be closed unread: our end sees its end of file.
        ours.settimeout(5)
        try:
            closed = ours.recv(1) == b''
        except OSError:
            closed = False
        ours.close()
        _log(device, f'intruder {outcome}; its descriptor {"closed" if closed else "still open"}')
        intruder.close()

    intruder.call_async(owner, profile, PROFILE_IFACE, 'NewConnection', 'oha{sv}',
                        [dbus.ObjectPath(path), dbus.types.UnixFd(theirs), {}],
                        lambda: done('accepted'), lambda e: done('got ' + e.get_dbus_name()))
    theirs.close()


@dbus.service.method(bluez5.DEVICE_IFACE, in_signature='s', out_signature='',
                     sender_keyword='sender', path_keyword='path',
                     async_callbacks=('ok', 'err'))
def ModuleConnectProfile(device, uuid, sender=None, path=None, ok=None, err=None):
    if not device.props[bluez5.DEVICE_IFACE]['Paired']:
        _log(device, 'connect refused: not paired')
        _fail(err, 'Failed', 'br-connection-create-socket')
        return
    uuid = str(uuid).lower()
    registered = _manager().profiles.get(uuid)
    if uuid != SERIAL_PORT or registered is None:
        _fail(err, 'NotAvailable', 'Operation currently not available')
        return
    owner, profile, _ = registered
    if device.module_intruder:
        _intrude(device, path, owner, profile)

    ours, module = socket.socketpair()
    with open(device.module_log, 'a', encoding='utf-8') as log:
        log.write('connected\n')
        log.flush()
        device.module_process = subprocess.Popen(
            [_parameters['simulator'], '--socket', str(module.fileno())] + device.module_args,
            pass_fds=[module.fileno()], stdout=log, stderr=log)
    module.close()

    def handed_over():
        device.UpdateProperties(bluez5.DEVICE_IFACE, {'Connected': dbus.Boolean(True)})
        ok()

    def refused(error):
        _log(device, 'the profile refused the connection: ' + error.get_dbus_name())
        _fail(err, 'Failed', 'Connection refused by the profile')

    device.connection.call_async(owner, profile, PROFILE_IFACE, 'NewConnection', 'oha{sv}',
                                 [dbus.ObjectPath(path), dbus.types.UnixFd(ours), {}],
                                 handed_over, refused)
    ours.close()
    device.module_profile = (owner, profile)


@dbus.service.method(bluez5.DEVICE_IFACE, in_signature='s', out_signature='',
                     path_keyword='path', async_callbacks=('ok', 'err'))
def ModuleDisconnectProfile(device, uuid, path=None, ok=None, err=None):
    if device.module_profile is None:
        _fail(err, 'NotConnected', 'Not Connected')
        return
    owner, profile = device.module_profile
    device.module_profile = None

    def done(*_):
        _log(device, 'disconnected')
        device.UpdateProperties(bluez5.DEVICE_IFACE, {'Connected': dbus.Boolean(False)})
        ok()

    device.connection.call_async(owner, profile, PROFILE_IFACE, 'RequestDisconnection', 'o',
                                 [dbus.ObjectPath(path)], done, done)


@dbus.service.method(bluez5.BLUEZ_MOCK_IFACE, in_signature='sssbsass', out_signature='s')
def AddModule(self, adapter, address, name, paired, pin, simulator_arguments, log):
    path = bluez5.AddDevice(self, adapter, address, name)
    device = mockobject.objects[path]
    device.UpdateProperties(bluez5.DEVICE_IFACE, {
        'UUIDs': dbus.Array([SERIAL_PORT], signature='s'),
        'Paired': dbus.Boolean(paired),
        'Class': dbus.UInt32(0x001F00),
    })
    device.module_pin = str(pin)
    device.module_args = [str(argument) for argument in simulator_arguments]
    device.module_log = str(log)
    device.module_profile = None
    device.module_intruder = False
    methods = device.methods[bluez5.DEVICE_IFACE]
    for name_, function in (('Pair', ModulePair), ('ConnectProfile', ModuleConnectProfile),
                            ('DisconnectProfile', ModuleDisconnectProfile)):
        methods[name_] = (function._dbus_in_signature, function._dbus_out_signature, '',
                          function)
    return path


@dbus.service.method(bluez5.BLUEZ_MOCK_IFACE, in_signature='s', out_signature='')
def AddIntruder(self, address):
    for device in mockobject.objects.values():
        if getattr(device, 'module_log', None) and \
                device.props[bluez5.DEVICE_IFACE]['Address'] == address:
            device.module_intruder = True
            return
    raise dbus.exceptions.DBusException('No such module', name='org.bluez.Mock.NoSuchModule')


def load(mock, parameters):
    bluez5.load(mock, parameters)
    _parameters.update(parameters or {})
    manager = _manager()
    manager.profiles = {}
    manager.module_agents = {}
    for interface, name, function in (
            (bluez5.PROFILE_MANAGER_IFACE, 'RegisterProfile', ModuleRegisterProfile),
            (bluez5.PROFILE_MANAGER_IFACE, 'UnregisterProfile', ModuleUnregisterProfile),
            (bluez5.AGENT_MANAGER_IFACE, 'RegisterAgent', ModuleRegisterAgent),
            (bluez5.AGENT_MANAGER_IFACE, 'UnregisterAgent', ModuleUnregisterAgent)):
        manager.methods[interface][name] = (function._dbus_in_signature,
                                            function._dbus_out_signature, '', function)

