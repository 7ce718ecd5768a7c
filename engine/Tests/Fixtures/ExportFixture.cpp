// Exports one C function, as the seat library does, for the loader tests.
extern "C" int Fixture_Answer()
{
	return 42;
}
