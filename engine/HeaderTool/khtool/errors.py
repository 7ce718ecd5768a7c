class HeaderError(Exception):
    """A problem in a reflected header, reported as path:line: message like a compiler does."""

    def __init__(self, path, line, message):
        super().__init__(f"{path}:{line}: error: {message}")
