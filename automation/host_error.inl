namespace automation {

template <typename Command>
HRESULT commandBoundary(Command&& command) {
    try {
        command();
        return S_OK;
    } catch (const HostError& e) {
        setErrorInformation(e.text());
        return e.code();
    } catch (const CommandError& e) {
        setErrorInformation(e.text());
        return E_UNEXPECTED;
    } catch (const std::exception& e) {
        setErrorInformation(wideFromUtf8(e.what()));
        return E_UNEXPECTED;
    } catch (...) {
        setErrorInformation(L"Unexpected failure");
        return E_UNEXPECTED;
    }
}

}  // namespace automation
