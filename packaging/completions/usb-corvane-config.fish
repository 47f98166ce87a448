# fish completion for usb-corvane-config.

complete -c usb-corvane-config -s h -l help -d 'Show the options and exit'
complete -c usb-corvane-config -s V -l version -d 'Show the version and exit'
complete -c usb-corvane-config -l simulate -d 'Use the simulated interface (=FILE: a JSON scenario)'
complete -c usb-corvane-config -l trace -r -F -d 'Append a log of the serial traffic'
