"""The exception every failed library call raises."""


class VeltranoError(RuntimeError):
    """A library call failed.

    code is what the call returned: -1 when the library could not complete
    it (the library's log says why), any other value is the instrument
    service's own code. command names the service command ("set_dac") or,
    for calls that send none, the library function ("ci_create").
    """

    def __init__(self, code, command, message=None):
        self.code = code
        self.command = command
        text = message or ("library failure (see the library log)" if code == -1 else "refused by the service")
        super().__init__(f"{command}: {text} (code {code})")
